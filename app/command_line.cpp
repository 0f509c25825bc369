// SPDX-License-Identifier: MIT
#include "app/command_line.h"

#include "compose/mailto_link.h"
#include "orvex_version.h"

#include <QCommandLineParser>

namespace {

QString helpText()
{
    return QStringLiteral(
            "用法：orvex [mailto:链接]\n"
            "\n"
            "中文界面的电子邮件客户端：通过 SMTP 服务器发送邮件，从 POP3 邮箱收取邮件。\n"
            "给出 mailto: 链接（RFC 6068）时，打开的“smtp发送邮件”窗口按链接填好收件人\n"
            "（抄送地址也填在收件人栏）、主题和正文。\n"
            "\n"
            "选项：\n"
            "  -h, --help     显示本帮助后退出。\n"
            "  --version      显示版本号后退出。\n"
            "\n"
            "程序需要图形显示；没有桌面时可以用 xvfb-run -a orvex 在虚拟 X 服务器上运行。\n"
            "在终端里收发邮件请用 orvex-cli。详见 orvex(1)。\n");
}

} // namespace

CommandLineRequest readCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    // One dash or two, every option is a whole word: Qt's "-stylesheet"
    // must not read as -s -t ... -h.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version(QStringLiteral("version"), QString());
    parser.addOption(help);
    parser.addOption(version);
    // Unknown options are not an error here (see the header); parse() still
    // reads the known ones.
    parser.parse(arguments);

    CommandLineRequest request;
    if (parser.isSet(help)) {
        request.action = CommandLineRequest::PrintAndExit;
        request.output = helpText();
    } else if (parser.isSet(version)) {
        request.action = CommandLineRequest::PrintAndExit;
        request.output = QStringLiteral("orvex %1\n").arg(QLatin1String(kOrvexVersion));
    }
    for (const QString &argument : parser.positionalArguments()) {
        if (isMailtoLink(argument)) {
            request.mailtoLink = argument;
            break;
        }
    }
    return request;
}
