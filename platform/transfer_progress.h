// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <functional>

class QObject;

namespace platform {

// Where the progress of a running transfer is shown (the frame's status
// line). Only one sink at a time; an empty function removes it.
using TransferProgressSink = std::function<void(const QString &text)>;
void setTransferProgressSink(TransferProgressSink sink);

// Hands a progress text to the sink, if there is one; an empty text clears
// what it shows, the amount too. Called while a transfer runs inside its
// handler, so the sink must only show the text, never wait for the user.
void reportTransferProgress(const QString &text);

// Where how far a running transfer is goes (the frame's progress bar):
// `done` of `total` units. Reported before the text it goes with.
using TransferAmountSink = std::function<void(qint64 done, qint64 total)>;
void setTransferAmountSink(TransferAmountSink sink);
void reportTransferAmount(qint64 done, qint64 total);

// Connects the component object's signal "progress" (one string argument,
// any letter case), when it has one, so that its reports reach the sink;
// and its signal "progressamount" (two 64-bit integers), when it has one.
// False when the object has no text signal.
bool connectTransferProgress(QObject *object);

} // namespace platform
