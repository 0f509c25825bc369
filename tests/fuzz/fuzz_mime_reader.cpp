// SPDX-License-Identifier: MIT
// libFuzzer target: raw message bytes in, every field and attachment read
// and saved. Aborts when an attachment name breaks the file name rules, a
// saved file lands outside its folder, or a temporary file outlives its
// message; the sanitizers catch the rest.
#include "fetched_message_check.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

// Saving goes through QSaveFile, whose commit syncs to disk: a folder in
// memory keeps that from setting the pace.
QString workspaceTemplate()
{
    const QString memory = QStringLiteral("/dev/shm");
    const QString base = QFileInfo(memory).isWritable() ? memory : QDir::tempPath();
    return base + QStringLiteral("/orvex-fuzz-XXXXXX");
}

struct Workspace {
    QTemporaryDir root{workspaceTemplate()};
    QString saveFolder;
    QString tempFolder;

    Workspace()
    {
        if (!root.isValid())
            std::abort();
        saveFolder = root.filePath(QStringLiteral("saved"));
        tempFolder = root.filePath(QStringLiteral("tmp"));
        if (!QDir().mkpath(saveFolder) || !QDir().mkpath(tempFolder))
            std::abort();
        // Attachment temporary files go here, where leftovers can be seen.
        qputenv("TMPDIR", QFile::encodeName(tempFolder));
    }
};

Workspace &workspace()
{
    static int argc = 1;
    static char name[] = "fuzz_mime_reader";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static Workspace space;
    return space;
}

void fail(const QString &problem)
{
    std::fprintf(stderr, "FINDING: %s\n", problem.toLocal8Bit().constData());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Workspace &space = workspace();
    const QByteArray raw(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString problem = checkFetchedMessage(raw, space.saveFolder);
    if (!problem.isEmpty())
        fail(problem);
    const QStringList left = QDir(space.tempFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    if (!left.isEmpty())
        fail(QStringLiteral("temporary files outlived their message: %1").arg(left.join(QLatin1Char(' '))));
    return 0;
}
