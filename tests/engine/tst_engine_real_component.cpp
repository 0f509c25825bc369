// SPDX-License-Identifier: MIT
#include "engine/n_orvex.h"

#include "engine_test_support.h"
#include "support/scripted_dialogs.h"

#include <QTemporaryDir>
#include <QTest>

// The engine against the real component library, registered the way the
// program registers it at start-up. Nothing listens on the ports used, so
// every transfer fails; what is checked is that the engine can make the
// component's objects and reports the failure as one.
class TestEngineRealComponent : public QObject {
    Q_OBJECT

private slots:
    void transfersReachTheRegisteredComponent();
    void unregisteredComponentIsReported();
};

void TestEngineRealComponent::transfersReachTheRegisteredComponent()
{
    ScriptedDialogs dialogs;
    n_orvex engine;
    QVERIFY(engine.of_register());

    stru_smtp_login smtp;
    smtp.host = "127.0.0.1";
    smtp.port = 1;
    stru_mail outgoing;
    outgoing.senderaddress = "me@example.cn";
    outgoing.recipientaddress = "you@example.cn";
    outgoing.subject = "测试邮件";
    outgoing.body = "hello";
    QCOMPARE(engine.of_sendmail(smtp, outgoing), -1);

    QTemporaryDir folder;
    stru_pop3_login pop3;
    pop3.host = "127.0.0.1";
    pop3.port = 1;
    pop3.username = "user";
    pop3.password = "secret";
    pop3.attachpath = folder.path();
    pop3.deleteafterread = true;
    QList<stru_mail> mail;
    QCOMPARE(engine.of_recimail(pop3, mail, "0-0"), -1);
    QVERIFY(mail.isEmpty());

    QVERIFY2(dialogs.messageBoxes.isEmpty(), "the component's classes could not be created");
}

void TestEngineRealComponent::unregisteredComponentIsReported()
{
    ScriptedDialogs dialogs;
    n_orvex engine;
    QVERIFY(engine.of_unregister());
    QCOMPARE(engine.of_sendmail(stru_smtp_login(), stru_mail()), -1);
    QList<stru_mail> mail;
    QVERIFY(engine.of_recimail(stru_pop3_login(), mail, "0-0") < 0);
    QCOMPARE(dialogs.titles(), QStringList({"提示", "提示"}));
    QCOMPARE(dialogs.texts(), QStringList({"请先注册orvex组件！", "请先注册orvex组件！"}));
    QVERIFY(engine.of_register());
}

QTEST_GUILESS_MAIN(TestEngineRealComponent)
#include "tst_engine_real_component.moc"
