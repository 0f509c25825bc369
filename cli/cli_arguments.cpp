#include "cli/cli_arguments.h"

#include "engine/server_field.h"
#include "orvex_version.h"
#include "platform/files.h"

#include <QCommandLineParser>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

#include <cstdio>
#include <optional>

namespace {

const QString kProgram = QStringLiteral("orvex-cli");
// How long the component waits for a plain port's greeting before it says
// that the port may want TLS from the first byte.
constexpr int kGreetingWaitSeconds = 8;
const QString kSendSynopsis = QStringLiteral("--server <host> --from <address> --to <address> (--body <text> | --body-file <file>) [选项]");
const QString kFetchSynopsis = QStringLiteral("--server <host> --user <user> [选项]");

// --- the options of the two commands ---

void addOption(QCommandLineParser &parser, const QString &name, const QString &description,
               const QString &valueName = QString())
{
    parser.addOption(QCommandLineOption(name, description, valueName));
}

void addServerOptions(QCommandLineParser &parser, const QString &protocol, const QString &defaultPort,
                      const QString &scheme)
{
    parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("显示本帮助。")));
    addOption(parser, QStringLiteral("server"),
              QStringLiteral("%1 服务器主机名或地址（必填）。写成 %2<host> 时，任何端口都直接用 TLS 连接。"
                             "端口也可以写在这里：<host>:<port>。")
                  .arg(protocol, scheme),
              QStringLiteral("host"));
    addOption(parser, QStringLiteral("port"),
              QStringLiteral("服务器端口，1-65535；不写时用 --server 中写的端口，都没写时用 %1。").arg(defaultPort),
              QStringLiteral("port"));
    addOption(parser, QStringLiteral("timeout"),
              QStringLiteral("每次等待服务器最多多少秒（1-86400），默认 300。"
                             "不论此值多大，普通端口连上后 %1 秒内没有问候即失败，并提示该端口可能要求 %2。")
                  .arg(kGreetingWaitSeconds)
                  .arg(scheme),
              QStringLiteral("seconds"));
}

void addPasswordOption(QCommandLineParser &parser)
{
    addOption(parser, QStringLiteral("password"),
              QStringLiteral("登录密码；不写时取环境变量 ORVEX_PASSWORD（这样密码不出现在命令行上）。"),
              QStringLiteral("password"));
}

void addLogOption(QCommandLineParser &parser)
{
    addOption(parser, QStringLiteral("log"), QStringLiteral("把传输日志写到标准错误输出。"));
}

void addSendOptions(QCommandLineParser &parser)
{
    addServerOptions(parser, QStringLiteral("SMTP"), QStringLiteral("25"), QStringLiteral("smtps://"));
    addOption(parser, QStringLiteral("user"),
              QStringLiteral("登录名；写了它就向服务器做身份验证。"), QStringLiteral("user"));
    addPasswordOption(parser);
    addOption(parser, QStringLiteral("from"), QStringLiteral("发件人地址（必填）。"), QStringLiteral("address"));
    addOption(parser, QStringLiteral("from-name"), QStringLiteral("发件人姓名。"), QStringLiteral("name"));
    addOption(parser, QStringLiteral("to"),
              QStringLiteral("收件人地址（必填），多个地址用逗号或分号分开（, ， ; ；），如 \"a@x;b@y\"；"
                             "有一段不是一个地址时什么也不发送（退出码 2）。"),
              QStringLiteral("address"));
    addOption(parser, QStringLiteral("subject"), QStringLiteral("邮件主题。"), QStringLiteral("text"));
    addOption(parser, QStringLiteral("body"),
              QStringLiteral("邮件正文（与 --body-file 二选一）。换行按 CR LF 发送。"),
              QStringLiteral("text"));
    addOption(parser, QStringLiteral("body-file"),
              QStringLiteral("从 UTF-8 文本文件读正文（与 --body 二选一）；写 - 时读标准输入。"),
              QStringLiteral("file"));
    addOption(parser, QStringLiteral("html"),
              QStringLiteral("正文是 HTML；不含 <HTML> 标记的正文按行套进 HTML 模板。"));
    addOption(parser, QStringLiteral("attach"),
              QStringLiteral("附件文件；可以重复，按给出的顺序附加。"), QStringLiteral("file"));
    addOption(parser, QStringLiteral("receipt"), QStringLiteral("请求收件人回执。"));
    addLogOption(parser);
}

void addFetchOptions(QCommandLineParser &parser)
{
    addServerOptions(parser, QStringLiteral("POP3"), QStringLiteral("110"), QStringLiteral("pop3s://"));
    addOption(parser, QStringLiteral("user"), QStringLiteral("邮箱登录名（必填）。"),
              QStringLiteral("user"));
    addPasswordOption(parser);
    addOption(parser, QStringLiteral("range"),
              QStringLiteral("收取哪些邮件：0-0 为全部（默认），M-N 为第 M 到第 N 封（从 1 起）。"),
              QStringLiteral("range"));
    addOption(parser, QStringLiteral("delete"),
              QStringLiteral("收取成功后在服务器上删除收到的邮件（只删本次收到的）。"));
    addOption(parser, QStringLiteral("attach-dir"),
              QStringLiteral("附件保存到的文件夹（须已存在），默认当前文件夹；已有同名而内容不同的文件时存为“名称 (2).扩展名”，不覆盖原有文件。"),
              QStringLiteral("dir"));
    addLogOption(parser);
}

QString commandHelp(const QString &command, void (*addOptions)(QCommandLineParser &),
                    const QString &synopsis)
{
    QCommandLineParser parser;
    addOptions(parser);
    // Qt's own first line names the program without the command; ours does.
    const QString options = parser.helpText().section(QLatin1Char('\n'), 1);
    return QStringLiteral("用法：%1 %2 %3\n%4").arg(kProgram, command, synopsis, options);
}

QString generalHelp()
{
    return QStringLiteral(
               "用法：%1 <命令> [选项]\n"
               "      %1 --version\n"
               "\n"
               "命令：\n"
               "  send   通过 SMTP 服务器发送一封邮件。\n"
               "  fetch  从 POP3 邮箱收取邮件，附件存入文件夹，邮件以 JSON 数组写到标准输出：\n"
               "         每封一个对象，键为 senderaddress、sendername、recipientaddress1（数组）、\n"
               "         subject、body、html、attachment（保存路径的数组）、maildatetime\n"
               "         （本地时间 YYYY-MM-DDTHH:MM:SS，邮件没有日期时为 null）。\n"
               "\n"
               "服务器证书按系统证书库验证；环境变量 ORVEX_CA_FILE 可再指定一个 CA 证书文件。\n"
               "\n")
               .arg(kProgram)
           + QString::fromUtf8(exitCodesHelp()) + QStringLiteral("\n")
           + commandHelp(QStringLiteral("send"), addSendOptions,
                         kSendSynopsis)
           + QStringLiteral("\n")
           + commandHelp(QStringLiteral("fetch"), addFetchOptions,
                         kFetchSynopsis);
}

// --- checking the values ---

constexpr quint16 kDefaultSmtpPort = 25;
constexpr quint16 kDefaultPop3Port = 110;

ParsedArguments error(const QString &message)
{
    ParsedArguments parsed;
    parsed.kind = ParsedArguments::Error;
    parsed.text = message;
    return parsed;
}

std::optional<quint16> portFromText(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const int port = text.toInt();
    if (port < 1 || port > 65535)
        return std::nullopt;
    return quint16(port);
}

bool isRange(const QString &text)
{
    static const QRegularExpression range(QStringLiteral("^[0-9]{1,9}-[0-9]{1,9}$"));
    return range.match(text).hasMatch();
}

// Reads the body as UTF-8 text from a file, or from stdin for "-". Text that
// is not valid UTF-8 is refused rather than sent garbled.
std::optional<QString> readBodyFile(const QString &path, QString &message)
{
    QFile file;
    const bool opened = path == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                    : platform::openForReading(file, path);
    if (!opened || platform::isFolder(path)) {
        message = QStringLiteral("--body-file：无法读取文件 \"%1\"。").arg(path);
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString body = decoder(bytes);
    if (decoder.hasError()) {
        message = QStringLiteral("--body-file：文件 \"%1\" 不是 UTF-8 文本。").arg(path);
        return std::nullopt;
    }
    return body;
}

// --timeout, when given: 0 when not, nullopt for a bad value.
std::optional<int> timeoutFrom(const QCommandLineParser &parser)
{
    if (!parser.isSet(QStringLiteral("timeout")))
        return 0;
    bool ok = false;
    const int seconds = parser.value(QStringLiteral("timeout")).toInt(&ok);
    if (!ok || seconds < 1 || seconds > 86400)
        return std::nullopt;
    return seconds;
}

QString badTimeout(const QCommandLineParser &parser)
{
    return QStringLiteral("--timeout：\"%1\" 不是 1 到 86400 之间的秒数。").arg(parser.value(QStringLiteral("timeout")));
}

// The options every command shares. Returns an error message, empty when
// all is well.
QString checkServer(const QCommandLineParser &parser, quint16 defaultPort, QString &server, quint16 &port)
{
    server = parser.value(QStringLiteral("server"));
    if (!parser.isSet(QStringLiteral("server")) || server.isEmpty())
        return QStringLiteral("缺少 --server（服务器地址）。");
    if (parser.isSet(QStringLiteral("port"))) {
        const QString text = parser.value(QStringLiteral("port"));
        const std::optional<quint16> value = portFromText(text);
        if (!value)
            return QStringLiteral("--port：\"%1\" 不是 1 到 65535 之间的端口号。").arg(text);
        port = *value;
    }
    // "--server host:587" names the port too; the engine takes it from
    // there, but a contradiction is the user's to settle.
    QString contradiction;
    if (!engine::resolveServerField(server, port, defaultPort, &contradiction))
        return QStringLiteral("--server：%1。").arg(contradiction);
    return {};
}

QString passwordFrom(const QCommandLineParser &parser, const QString &environmentPassword)
{
    return parser.isSet(QStringLiteral("password")) ? parser.value(QStringLiteral("password"))
                                                     : environmentPassword;
}

const QString kNoPassword = QStringLiteral("缺少密码：请用 --password 或环境变量 ORVEX_PASSWORD 给出。");

ParsedArguments checkSend(const QCommandLineParser &parser, const QString &environmentPassword)
{
    ParsedArguments parsed;
    parsed.kind = ParsedArguments::Send;
    SendArguments &send = parsed.send;
    if (QString message = checkServer(parser, kDefaultSmtpPort, send.server, send.port); !message.isEmpty())
        return error(message);

    send.user = parser.value(QStringLiteral("user"));
    if (parser.isSet(QStringLiteral("user"))) {
        if (send.user.isEmpty())
            return error(QStringLiteral("--user：登录名不能为空。"));
        send.password = passwordFrom(parser, environmentPassword);
        if (send.password.isEmpty())
            return error(kNoPassword);
    } else if (parser.isSet(QStringLiteral("password"))) {
        return error(QStringLiteral("--password 要和 --user 一起用：只有给出登录名才做身份验证。"));
    }

    send.from = parser.value(QStringLiteral("from"));
    if (send.from.isEmpty())
        return error(QStringLiteral("缺少 --from（发件人地址）。"));
    send.to = parser.value(QStringLiteral("to"));
    if (send.to.isEmpty())
        return error(QStringLiteral("缺少 --to（收件人地址）。"));
    send.fromName = parser.value(QStringLiteral("from-name"));
    send.subject = parser.value(QStringLiteral("subject"));

    const bool hasBody = parser.isSet(QStringLiteral("body"));
    const bool hasBodyFile = parser.isSet(QStringLiteral("body-file"));
    if (hasBody == hasBodyFile)
        return error(QStringLiteral("正文要用 --body 或 --body-file 给出，两者只能选一个。"));
    if (hasBody) {
        send.body = parser.value(QStringLiteral("body"));
    } else {
        QString message;
        const std::optional<QString> body = readBodyFile(parser.value(QStringLiteral("body-file")), message);
        if (!body)
            return error(message);
        send.body = *body;
    }

    for (const QString &path : parser.values(QStringLiteral("attach"))) {
        if (!platform::isReadableFile(path))
            return error(QStringLiteral("--attach：找不到可读的文件 \"%1\"。").arg(path));
        send.attachments << platform::absolutePath(path);
    }
    send.html = parser.isSet(QStringLiteral("html"));
    send.receipt = parser.isSet(QStringLiteral("receipt"));
    send.log = parser.isSet(QStringLiteral("log"));
    const std::optional<int> timeout = timeoutFrom(parser);
    if (!timeout)
        return error(badTimeout(parser));
    send.timeout = *timeout;
    return parsed;
}

ParsedArguments checkFetch(const QCommandLineParser &parser, const QString &environmentPassword)
{
    ParsedArguments parsed;
    parsed.kind = ParsedArguments::Fetch;
    FetchArguments &fetch = parsed.fetch;
    if (QString message = checkServer(parser, kDefaultPop3Port, fetch.server, fetch.port); !message.isEmpty())
        return error(message);

    fetch.user = parser.value(QStringLiteral("user"));
    if (fetch.user.isEmpty())
        return error(QStringLiteral("缺少 --user（邮箱登录名）。"));
    fetch.password = passwordFrom(parser, environmentPassword);
    if (fetch.password.isEmpty())
        return error(kNoPassword);

    if (parser.isSet(QStringLiteral("range"))) {
        fetch.range = parser.value(QStringLiteral("range"));
        if (!isRange(fetch.range))
            return error(QStringLiteral("--range：\"%1\" 不是 0-0 或 M-N 这样的范围。").arg(fetch.range));
    }

    const QString folder = parser.isSet(QStringLiteral("attach-dir"))
                               ? parser.value(QStringLiteral("attach-dir"))
                               : platform::currentDirectory();
    if (folder.isEmpty() || !platform::isFolder(folder))
        return error(QStringLiteral("--attach-dir：文件夹 \"%1\" 不存在。").arg(folder));
    fetch.attachDir = platform::absolutePath(folder);
    fetch.deleteAfterRead = parser.isSet(QStringLiteral("delete"));
    fetch.log = parser.isSet(QStringLiteral("log"));
    const std::optional<int> timeout = timeoutFrom(parser);
    if (!timeout)
        return error(badTimeout(parser));
    fetch.timeout = *timeout;
    return parsed;
}

ParsedArguments parseCommand(const QStringList &arguments, void (*addOptions)(QCommandLineParser &),
                             ParsedArguments (*check)(const QCommandLineParser &, const QString &),
                             const QString &environmentPassword, const QString &help)
{
    QCommandLineParser parser;
    addOptions(parser);
    // The command word is not an argument of the command's own parser.
    if (!parser.parse(QStringList{arguments.at(0)} + arguments.mid(2)))
        return error(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        ParsedArguments parsed;
        parsed.kind = ParsedArguments::Help;
        parsed.text = help;
        return parsed;
    }
    if (!parser.positionalArguments().isEmpty())
        return error(QStringLiteral("多余的参数：%1").arg(parser.positionalArguments().join(QLatin1Char(' '))));
    return check(parser, environmentPassword);
}

} // namespace

ParsedArguments parseArguments(const QStringList &arguments, const QString &environmentPassword)
{
    if (arguments.size() < 2)
        return error(QStringLiteral("缺少命令：send 或 fetch。"));
    const QString command = arguments.at(1);
    if (command == QLatin1String("-h") || command == QLatin1String("--help") || command == QLatin1String("help")) {
        ParsedArguments parsed;
        parsed.kind = ParsedArguments::Help;
        parsed.text = generalHelp();
        return parsed;
    }
    if (command == QLatin1String("--version")) {
        ParsedArguments parsed;
        parsed.kind = ParsedArguments::Version;
        parsed.text = QStringLiteral("%1 %2\n").arg(kProgram, QLatin1String(kOrvexVersion));
        return parsed;
    }
    if (command == QLatin1String("send"))
        return parseCommand(arguments, addSendOptions, checkSend, environmentPassword,
                            commandHelp(command, addSendOptions,
                                        kSendSynopsis));
    if (command == QLatin1String("fetch"))
        return parseCommand(arguments, addFetchOptions, checkFetch, environmentPassword,
                            commandHelp(command, addFetchOptions, kFetchSynopsis));
    return error(QStringLiteral("未知命令 \"%1\"：应为 send 或 fetch。").arg(command));
}
