// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

namespace enginetest {

// Registers the library at `libraryPath` under the component's six class
// names in this test's own component registry.
void registerComponentClasses(const QString &libraryPath);

// The journal entries that start with `prefix`, in order.
QStringList entriesStartingWith(const QStringList &journal, const QString &prefix);

// Empty when every one of `entries` occurs in `journal` in the order given,
// other entries between them allowed; otherwise names the first entry that
// is missing or out of place.
QString outOfOrder(const QStringList &journal, const QStringList &entries);

} // namespace enginetest
