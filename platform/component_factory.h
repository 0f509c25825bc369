// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QObject;

namespace platform {

// The C entry point through which a component library makes its objects:
//   extern "C" QObject *OrvexCreateObject(const char *className);
// It returns a new object the caller owns, or nullptr for a class it does
// not make.
inline constexpr char kComponentFactorySymbol[] = "OrvexCreateObject";

struct CreatedObject {
    int code = 0;               // a platform::CreateResult
    QObject *object = nullptr;  // owned by the caller when code is 0
};

// Makes a new instance of the registered class `className`: looks it up in
// the component registry, loads its library and asks its factory.
CreatedObject createComponentObject(const QString &className, QString *error);

} // namespace platform
