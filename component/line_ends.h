// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

namespace component {

// Mail on the wire ends its lines with CRLF, but some senders write their
// bodies with bare LF under CRLF headers, and some servers pass such bytes
// on as they were stored. GMime's parser takes the line end before a
// boundary to be of the boundary line's kind and cuts as many bytes: a body
// line ending in a bare LF before a CRLF boundary loses its last character.
// Everything is given CRLF line ends before it is parsed.

// `bytes` with every bare LF turned into CRLF; `bytes` itself (shared, not
// copied) when it holds none.
QByteArray withCrlfLineEnds(const QByteArray &bytes);

// Whether what `in` holds from where it stands has a bare LF. False also
// when it cannot be read; `in` is left at its end.
bool hasBareLineFeed(QIODevice &in);

// Copies the rest of `in` to `out` with every bare LF turned into CRLF.
// False, with the reason in `error`, when either side fails.
bool copyWithCrlfLineEnds(QIODevice &in, QIODevice &out, QString *error);

} // namespace component
