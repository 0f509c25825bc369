// SPDX-License-Identifier: MIT
#pragma once

#include "engine/failure_kind.h"
#include "platform/automation_object.h"

#include <QString>
#include <QVariant>
#include <QVariantList>

namespace engine {

// A run of component calls that stops at the first one that fails (the
// component raised an error, or the member is missing): every later call
// through the run is skipped, so a transfer never goes on with a half-built
// message or a half-read mailbox. Ending calls (log, close, disconnect) are
// made on the handles directly, whatever happened.
class ComponentCalls {
public:
    bool ok() const { return !m_failed; }
    bool failed() const { return m_failed; }
    QString error() const { return m_error; }
    // The kind the caller named for the failure; None when the failure came
    // from the component, which then names the kind itself.
    FailureKind failureKind() const { return m_kind; }

    // Marks the run failed for a reason of the caller's own.
    void fail(const QString &reason, FailureKind kind = FailureKind::None);
    // Puts what was being done in front of the reason of a failure, and
    // names its kind when given.
    void explainFailure(const QString &context, FailureKind kind = FailureKind::None);

    bool set(platform::AutomationObject &object, const QString &name, const QVariant &value);
    // The property's value; an invalid QVariant after a failure.
    QVariant get(platform::AutomationObject &object, const QString &name);
    // The method's result (invalid for a method that returns nothing).
    QVariant call(platform::AutomationObject &object, const QString &method, const QVariantList &args = {});
    // Binds `target` to the object that property `name` of `object` holds.
    bool bindProperty(platform::AutomationObject &object, const QString &name, platform::AutomationObject &target);
    // Binds `target` to element n of the collection `collection`.
    bool bindElement(platform::AutomationObject &collection, qint64 n, platform::AutomationObject &target);
    // A property read as a count: a number of 0 or more.
    qint64 count(platform::AutomationObject &object, const QString &name = QStringLiteral("count"));

private:
    bool check(bool succeeded, const platform::AutomationObject &object);

    bool m_failed = false;
    QString m_error;
    FailureKind m_kind = FailureKind::None;
};

// Why a transfer through `object` (a Message or a POP3) failed: the kind
// and reason the run was failed with, else those the component reports in
// its "failurekind" and "lasterror" properties.
Failure transferFailure(const ComponentCalls &calls, platform::AutomationObject &object);

// The component's own reason for the last failure of `object`, or
// `fallback` when it gives none.
QString componentReason(platform::AutomationObject &object, const QString &fallback);

// True when a method's result says it failed: an explicit false. A method
// that returns nothing has not failed.
bool saysFalse(const QVariant &result);

// Lets the transfer's waits take user input, for the hold-back that watches
// it for a close request. A component without the setting keeps input
// queued itself; then a close request waits for the end of the transfer.
void passUserInput(platform::AutomationObject &object);

} // namespace engine
