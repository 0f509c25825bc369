// SPDX-License-Identifier: MIT
// Charset decoding and attachment names of fetched mail, case by case.
#include "component/attachment_name.h"
#include "component/charset_decoding.h"

#include <QTest>

using component::decodeText;
using component::safeAttachmentName;
using component::normalizeEncodedWords;

class TestPop3Text : public QObject {
    Q_OBJECT

private slots:
    void decodeText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("label");
        QTest::addColumn<QString>("expected");

        // 中 in GB2312; 镕 (E946) only in GBK; 𠀀 only in GB18030 (95328236).
        QTest::newRow("gb2312") << QByteArray("\xD6\xD0") << QByteArray("gb2312") << QStringLiteral("中");
        QTest::newRow("gbk bytes labelled gb2312") << QByteArray("\xE9\x46") << QByteArray("GB2312")
                                                   << QStringLiteral("镕");
        QTest::newRow("gb18030 bytes labelled gbk") << QByteArray("\x95\x32\x82\x36") << QByteArray("gbk")
                                                    << QStringLiteral("𠀀");
        QTest::newRow("big5") << QByteArray("\xA4\xA4\xA4\xE5") << QByteArray("big5") << QStringLiteral("中文");
        QTest::newRow("latin-1") << QByteArray("caf\xE9") << QByteArray("iso-8859-1") << QStringLiteral("café");
        // "Latin-1" and ASCII labels are read as windows-1252, as browsers do.
        QTest::newRow("latin-1 label, windows-1252") << QByteArray("\x93\x96\x80\x94") << QByteArray("ISO-8859-1")
                                                     << QStringLiteral("“–€”");
        QTest::newRow("latin-9 euro") << QByteArray("\xA4") << QByteArray("ISO-8859-15") << QStringLiteral("€");
        QTest::newRow("no label, utf-8") << QStringLiteral("中文").toUtf8() << QByteArray() << QStringLiteral("中文");
        QTest::newRow("no label, gbk") << QByteArray("\xD6\xD0\xE9\x46") << QByteArray() << QStringLiteral("中镕");
        QTest::newRow("ascii label, 8-bit") << QByteArray("\x93ok\x94") << QByteArray("us-ascii")
                                            << QStringLiteral("“ok”");
        QTest::newRow("unknown label, utf-8") << QStringLiteral("é中").toUtf8() << QByteArray("x-martian")
                                              << QStringLiteral("é中");
        QTest::newRow("broken utf-8 keeps the rest") << QByteArray("ok\xFF!") << QByteArray("utf-8")
                                                     << QStringLiteral("ok\uFFFD!");
        QTest::newRow("cut off gb2312") << QByteArray("\xD6\xD0\xD6") << QByteArray("gb2312")
                                        << QStringLiteral("中\uFFFD");
        QTest::newRow("empty") << QByteArray() << QByteArray("gb2312") << QString();
    }

    void decodeText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, label);
        QFETCH(QString, expected);
        QCOMPARE(::decodeText(bytes, label), expected);
    }

    void normalizeEncodedWords()
    {
        QCOMPARE(::normalizeEncodedWords("=?GB2312?Q?=D6=D0?= and =?iso-8859-1*en?q?x?="),
                 QByteArray("=?GB18030?Q?=D6=D0?= and =?windows-1252*en?q?x?="));
        // Base64 words become quoted-printable ones of the same bytes, so
        // that padding inside a run of words no longer cuts it short.
        QCOMPARE(::normalizeEncodedWords("=?gbk?B?1tA=?= =?utf-8?b?5Lit?="),
                 QByteArray("=?GB18030?Q?=D6=D0?= =?utf-8?Q?=E4=B8=AD?="));
        QCOMPARE(::normalizeEncodedWords("attachment; filename*=gb2312''%D6%D0.txt; name*0*=latin1''x"),
                 QByteArray("attachment; filename*=GB18030''%D6%D0.txt; name*0*=windows-1252''x"));
        // Other labels, broken base64 and raw 8-bit bytes stay as they were.
        QCOMPARE(::normalizeEncodedWords("=?utf-8?q?=E4?= =?gbk?B?!!?= \xD6\xD0 gb2312"),
                 QByteArray("=?utf-8?q?=E4?= =?GB18030?B?!!?= \xD6\xD0 gb2312"));
    }

    void safeAttachmentName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << QStringLiteral("报告.pdf") << QStringLiteral("报告.pdf");
        QTest::newRow("parent folders") << QStringLiteral("../../x") << QStringLiteral("x");
        QTest::newRow("absolute") << QStringLiteral("/etc/passwd") << QStringLiteral("passwd");
        QTest::newRow("windows path") << QStringLiteral("C:\\Users\\a\\evil.bat") << QStringLiteral("evil.bat");
        QTest::newRow("hidden") << QStringLiteral(".bashrc") << QStringLiteral("bashrc");
        QTest::newRow("several dots") << QStringLiteral("...profile") << QStringLiteral("profile");
        QTest::newRow("semicolon") << QStringLiteral("a;b") << QStringLiteral("a_b");
        QTest::newRow("control characters") << QStringLiteral("a\tb\nc\x7f\u0085d") << QStringLiteral("abcd");
        QTest::newRow("bidi override") << QStringLiteral("invoice\u202Efdp.exe") << QStringLiteral("invoicefdp.exe");
        QTest::newRow("trailing slash") << QStringLiteral("folder/") << QStringLiteral("附件3.pdf");
        QTest::newRow("dot dot") << QStringLiteral("..") << QStringLiteral("附件3.pdf");
        QTest::newRow("empty") << QString() << QStringLiteral("附件3.pdf");
        QTest::newRow("only spaces") << QStringLiteral("   ") << QStringLiteral("附件3.pdf");
        QTest::newRow("emoji kept whole") << QStringLiteral("😀.txt") << QStringLiteral("😀.txt");
        // 100 characters of 3 bytes: cut to 200 bytes of UTF-8, not to 200
        // characters, and not inside a character.
        QTest::newRow("long Chinese name") << QString(100, QChar(0x4E2D)) + QStringLiteral(".doc")
                                           << QString(65, QChar(0x4E2D)) + QStringLiteral(".doc");
    }

    void safeAttachmentName()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(::safeAttachmentName(name, 3, QStringLiteral("application/pdf")), expected);
    }

    void nameOfUnknownTypeEndsInBin()
    {
        QCOMPARE(::safeAttachmentName(QString(), 2, QStringLiteral("application/x-unknown-thing")),
                 QStringLiteral("附件2.bin"));
    }
};

QTEST_GUILESS_MAIN(TestPop3Text)
#include "tst_pop3_text.moc"
