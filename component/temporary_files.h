// SPDX-License-Identifier: MIT
#pragma once

#include <QDir>
#include <QString>

namespace component {

// The name template for a temporary file of the component, "orvex-<kind>-"
// and six random characters in the system's temporary folder (TMPDIR), where
// a fetch's messages and attachments wait until they are read and saved.
inline QString temporaryFileTemplate(const QString &kind)
{
    return QDir::tempPath() + QStringLiteral("/orvex-") + kind + QStringLiteral("-XXXXXX");
}

} // namespace component
