// SPDX-License-Identifier: MIT
#include "engine/n_orvex.h"

#include <QTest>

class TestEngineText : public QObject {
    Q_OBJECT

private slots:
    void replace_data();
    void replace();
    void parse_data();
    void parse();
    void parseOverwritesTheCallersList();
};

void TestEngineText::replace_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("expected");

    QTest::newRow("full-width commas") << "a@x.cn，b@y.cn，c@z.cn" << "，" << "," << "a@x.cn,b@y.cn,c@z.cn";
    QTest::newRow("nothing to replace") << "a@x.cn,b@y.cn" << "，" << "," << "a@x.cn,b@y.cn";
    QTest::newRow("three letters, pair to one") << "aaa" << "aa" << "a" << "aa";
    QTest::newRow("inserted text not searched again") << "abab" << "ab" << "abab" << "abababab";
    QTest::newRow("CR LF joined") << "第一行\r\n第二行" << "\r\n" << "<br>" << "第一行<br>第二行";
    QTest::newRow("lone LF and CR kept") << "a\nb\rc\n\rd" << "\r\n" << "<br>" << "a\nb\rc\n\rd";
    QTest::newRow("case matters") << "ABC abc" << "abc" << "x" << "ABC x";
    QTest::newRow("replaced by nothing") << "a-b-c" << "-" << "" << "abc";
    QTest::newRow("Chinese words") << "你好世界你好" << "你好" << "您好" << "您好世界您好";
    QTest::newRow("beyond GB2312") << "€ 𠀀 ©" << "𠀀" << "x" << "€ x ©";
    QTest::newRow("no half of a character") << QString::fromUtf16(u"😀") << QString(QChar(0xDE00)) << "x"
                                             << QString::fromUtf16(u"😀");
    QTest::newRow("empty source") << "" << "a" << "b" << "";
    QTest::newRow("empty search text") << "abc" << "" << "x" << "abc";
    const QString longText = QString(40000, u'x');
    QTest::newRow("matches past 32767") << longText + "，end，" << "，" << "," << longText + ",end,";
}

void TestEngineText::replace()
{
    QFETCH(QString, source);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QString, expected);
    n_orvex engine;
    QCOMPARE(engine.of_replace(source, before, after), expected);
}

void TestEngineText::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("two pieces") << "a@x.cn,b@y.cn" << "," << QStringList{"a@x.cn", "b@y.cn"};
    QTest::newRow("no separator") << "a@x.cn" << "," << QStringList{"a@x.cn"};
    QTest::newRow("empty text") << "" << "," << QStringList{""};
    QTest::newRow("trailing separator") << "a;" << ";" << QStringList{"a", ""};
    QTest::newRow("leading separator") << ";a" << ";" << QStringList{"", "a"};
    QTest::newRow("doubled separator") << "a;;b" << ";" << QStringList{"a", "", "b"};
    QTest::newRow("only separators") << ";;" << ";" << QStringList{"", "", ""};
    QTest::newRow("spaces kept") << " a , b " << "," << QStringList{" a ", " b "};
    QTest::newRow("long separator only whole") << "a;b;;c" << ";;" << QStringList{"a;b", "c"};
    QTest::newRow("letter in both cases") << "1x2X3" << "x" << QStringList{"1", "2", "3"};
    QTest::newRow("pieces keep their case") << "AbXcD" << "x" << QStringList{"Ab", "cD"};
    QTest::newRow("upper-case separator") << "maxMINmin" << "MIN" << QStringList{"max", "", ""};
    QTest::newRow("only ASCII letters fold") << "aＡbａc" << "ａ" << QStringList{"aＡb", "c"};
    QTest::newRow("no Kelvin sign for k") << QString::fromUtf16(u"a\u212Ab") << "k"
                                          << QStringList{QString::fromUtf16(u"a\u212Ab")};
    QTest::newRow("Chinese separator") << "张三；李四；" << "；" << QStringList{"张三", "李四", ""};
    QTest::newRow("saved paths") << "/tmp/a.txt;/tmp/附件.doc;" << ";"
                                 << QStringList{"/tmp/a.txt", "/tmp/附件.doc", ""};
    QTest::newRow("no half of a character") << QString::fromUtf16(u"😀;x") << QString(QChar(0xDE00))
                                            << QStringList{QString::fromUtf16(u"😀;x")};
    QTest::newRow("empty separator") << "a,b" << "" << QStringList{"a,b"};
    const QString longPiece = QString(70000, u'y');
    QTest::newRow("pieces past 32767") << longPiece + ";" + longPiece << ";" << QStringList{longPiece, longPiece};
}

void TestEngineText::parse()
{
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QFETCH(QStringList, expected);
    n_orvex engine;
    QStringList pieces;
    const long count = engine.of_parse(text, separator, pieces);
    QCOMPARE(pieces, expected);
    QCOMPARE(count, long(expected.size()));
}

void TestEngineText::parseOverwritesTheCallersList()
{
    n_orvex engine;
    QStringList pieces{"left", "over", "from before"};
    QCOMPARE(engine.of_parse("single", ",", pieces), 1L);
    QCOMPARE(pieces, QStringList{"single"});
    QCOMPARE(engine.of_parse("", ",", pieces), 1L);
    QCOMPARE(pieces, QStringList{""});
}

QTEST_GUILESS_MAIN(TestEngineText)
#include "tst_engine_text.moc"
