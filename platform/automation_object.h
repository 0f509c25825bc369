// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <optional>

namespace platform {

// Result codes of AutomationObject::connectToNewObject. Zero is success;
// every failure is negative, as callers test "not 0".
enum CreateResult : int {
    kCreateOk = 0,
    kCreateInvalidCall = -1,    // empty class name
    kCreateUnknownClass = -2,   // the class is not in the component registry
    kCreateLibraryFailed = -3,  // the registered library cannot be loaded or has no factory
    kCreateRefused = -4,        // the library's factory does not make that class
};

// The dynamic property through which a component object reports an error
// raised inside a call. The handle clears it before each call and reads it
// after; a non-empty text makes the call fail with that text.
inline constexpr char kAutomationErrorProperty[] = "automationError";

// A late-bound handle on a component object: members are found by name at
// run time, without regard to letter case, and every failing call is
// reported to the caller (false or an empty optional, with lastError()),
// never thrown and never a crash.
//
// A handle either owns its object (made by connectToNewObject; release()
// deletes it) or borrows one that another object owns (an element of a
// collection, the value of a property); a borrowed object that its owner
// deleted is reported as gone, not dereferenced.
class AutomationObject {
public:
    AutomationObject() = default;
    ~AutomationObject();
    AutomationObject(const AutomationObject &) = delete;
    AutomationObject &operator=(const AutomationObject &) = delete;
    AutomationObject(AutomationObject &&other) noexcept;
    AutomationObject &operator=(AutomationObject &&other) noexcept;

    // Releases what the handle holds and binds it to a new instance of the
    // class registered under className. Returns a CreateResult.
    int connectToNewObject(const QString &className);

    // Binds the handle to an object held in value (a QObject* as returned by
    // a property or method), releasing what it held. False when value holds
    // no object.
    bool bindTo(const QVariant &value);

    bool setProperty(const QString &name, const QVariant &value);
    std::optional<QVariant> property(const QString &name);
    std::optional<QVariant> invoke(const QString &method, const QVariantList &args = {});

    // Binds `out` to element n of this collection (its "item" method).
    bool element(qint64 n, AutomationObject &out);

    // Deletes an owned object, forgets a borrowed one. Safe to repeat.
    void release();

    bool isBound() const { return !m_object.isNull(); }
    QObject *object() const { return m_object.data(); }
    QString lastError() const { return m_lastError; }
    // The reason the object itself raised in the last call, without the
    // member's name; empty when the call succeeded or failed in this layer.
    QString objectError() const { return m_objectError; }

private:
    bool fail(const QString &message);
    bool checkBound(const QString &member);
    bool takeObjectError(const QString &member);

    QPointer<QObject> m_object;
    bool m_owned = false;
    QString m_lastError;
    QString m_objectError;
};

} // namespace platform
