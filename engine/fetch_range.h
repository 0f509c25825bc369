// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QtGlobal>

namespace engine {

// The first and last message number a fetch reads, both inclusive; empty
// when first > last.
struct FetchRange {
    qint64 first = 1;
    qint64 last = 0;
    bool isEmpty() const { return first > last; }
};

// True when index asks for the whole mailbox ("0-0" exactly).
bool asksForAll(const QString &index);

// The range named by index ("m-n": the texts before and after the first
// "-", each a decimal number), held within a mailbox of `count` messages:
// a first number below 1 counts as 1, a last one beyond the mailbox as its
// last message. A text that is not two numbers around "-" names nothing.
FetchRange rangeWithin(const QString &index, qint64 count);

} // namespace engine
