// SPDX-License-Identifier: MIT
#include "component/ca_bundle.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMutex>

namespace component {

namespace {

struct MadeAhead {
    QString path;
    QDateTime modified;
    qint64 size = -1;
    std::optional<QSslConfiguration> configuration;
};

QMutex madeAheadLock;
MadeAhead madeAhead;

bool sameFile(const MadeAhead &made, const QString &path, const QFileInfo &now)
{
    return made.path == path && made.size == now.size() && made.modified == now.lastModified();
}

// Qt adds the certificates of a file named by its path to those of the
// system store, which it looks up when a chain needs them; a list of
// certificates added instead would replace the system store.
std::optional<QSslConfiguration> makeConfigurationTrusting(const QString &path)
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    if (!configuration.addCaCertificates(path, QSsl::Pem))
        return std::nullopt;
    return configuration;
}

} // namespace

void prepareConfigurationTrusting(const QString &path)
{
    const QFileInfo before(path);
    MadeAhead made{path, before.lastModified(), before.size(), makeConfigurationTrusting(path)};
    // A file that changed while it was read is read again when it is used.
    if (!sameFile(made, path, QFileInfo(path)))
        return;
    const QMutexLocker locker(&madeAheadLock);
    madeAhead = std::move(made);
}

std::optional<QSslConfiguration> configurationTrusting(const QString &path)
{
    {
        const QMutexLocker locker(&madeAheadLock);
        if (madeAhead.configuration && sameFile(madeAhead, path, QFileInfo(path)))
            return madeAhead.configuration;
    }
    return makeConfigurationTrusting(path);
}

} // namespace component
