// SPDX-License-Identifier: MIT
// Progress reports of component objects reach the one sink the frame
// installs, by the signal's name alone; the outermost wait cursor clears
// them when its handler ends.
#include "platform/transfer_progress.h"
#include "platform/wait_cursor.h"

#include <QApplication>
#include <QTest>

namespace {

class Reporter : public QObject {
    Q_OBJECT
Q_SIGNALS:
    void Progress(const QString &text);
};

class NumberReporter : public QObject {
    Q_OBJECT
Q_SIGNALS:
    void progress(int percent);
};

} // namespace

class TestTransferProgressSink : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        shown.clear();
        platform::setTransferProgressSink([this](const QString &text) { shown << text; });
    }
    void cleanup() { platform::setTransferProgressSink({}); }

    void signalIsFoundByNameInAnyCase()
    {
        Reporter reporter;
        QVERIFY(platform::connectTransferProgress(&reporter));
        Q_EMIT reporter.Progress(QStringLiteral("正在连接 a…"));
        Q_EMIT reporter.Progress(QStringLiteral("正在发送 1.0 / 2.0 MB"));
        QCOMPARE(shown, QStringList({"正在连接 a…", "正在发送 1.0 / 2.0 MB"}));
    }

    void objectsWithoutATextProgressSignalAreLeftAlone()
    {
        NumberReporter numbers;
        QObject plain;
        QVERIFY(!platform::connectTransferProgress(&numbers));
        QVERIFY(!platform::connectTransferProgress(&plain));
        QVERIFY(!platform::connectTransferProgress(nullptr));
        Q_EMIT numbers.progress(5);
        QVERIFY(shown.isEmpty());
    }

    void reportsWithoutASinkGoNowhere()
    {
        platform::setTransferProgressSink({});
        Reporter reporter;
        QVERIFY(platform::connectTransferProgress(&reporter));
        Q_EMIT reporter.Progress(QStringLiteral("x"));
        QVERIFY(shown.isEmpty());
    }

    void outermostWaitCursorClearsTheReport()
    {
        {
            platform::WaitCursor handler;
            {
                platform::WaitCursor nested;
                platform::reportTransferProgress(QStringLiteral("正在接收第 1 / 2 封邮件"));
            }
            // A nested wait (a call inside the handler) ends: the handler's
            // transfer may go on, so its report stays.
            QCOMPARE(shown, QStringList({"正在接收第 1 / 2 封邮件"}));
        }
        QCOMPARE(shown, QStringList({"正在接收第 1 / 2 封邮件", QString()}));
    }

private:
    QStringList shown;
};

QTEST_MAIN(TestTransferProgressSink)
#include "test_transfer_progress_sink.moc"
