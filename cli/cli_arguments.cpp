// SPDX-License-Identifier: MIT
#include "cli/cli_arguments.h"

#include "cli/password_sources.h"
#include "engine/server_field.h"
#include "orvex_version.h"
#include "platform/files.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

void addPasswordOptions(QCommandLineParser &parser)
{
    addOption(parser, QStringLiteral("password"),
              QStringLiteral("登录密码。注意：命令行上的密码在程序启动的一瞬间能被本机其他用户看到（ps），"
                             "宁可用下面几种方式。不写时依次取：--password-command、环境变量 ORVEX_PASSWORD、"
                             "~/.netrc 中与服务器和登录名相符的 machine/login/password 条目"
                             "（该文件可被其他用户读取时不用，并给出警告）；都没有而标准输入是终端时，提示输入密码（不回显）。"),
              QStringLiteral("password"));
    addOption(parser, QStringLiteral("password-command"),
              QStringLiteral("用 /bin/sh 执行这条命令，取其输出的第一行作密码，如 \"pass show mail\"；"
                             "命令失败时报告其退出状态。"),
              QStringLiteral("command"));
}

void addTlsOptions(QCommandLineParser &parser, const QString &startTls)
{
    addOption(parser, QStringLiteral("tls"),
              QStringLiteral("默认为 opportunistic：服务器提供 %1 就加密。写 required 时，"
                             "服务器不提供加密就以失败结束，不发出任何邮件内容或密码。").arg(startTls),
              QStringLiteral("required|opportunistic"));
    addOption(parser, QStringLiteral("tls-fingerprint"),
              QStringLiteral("只信任 SHA-256 指纹为此值的服务器证书（64 位十六进制数，可用冒号分隔），"
                             "不论它由谁签发。"),
              QStringLiteral("sha256"));
    addOption(parser, QStringLiteral("ca-file"),
              QStringLiteral("在系统证书库之外再信任这个 CA 证书文件（PEM），代替环境变量 ORVEX_CA_FILE；"
                             "文件必须存在。"),
              QStringLiteral("file"));
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
    addPasswordOptions(parser);
    addOption(parser, QStringLiteral("from"), QStringLiteral("发件人地址（必填）。"), QStringLiteral("address"));
    addOption(parser, QStringLiteral("from-name"), QStringLiteral("发件人姓名。"), QStringLiteral("name"));
    addOption(parser, QStringLiteral("to"),
              QStringLiteral("收件人地址（必填），多个地址用逗号或分号分开（, ， ; ；），如 \"a@x;b@y\"；"
                             "有一段不是一个地址时什么也不发送（退出码 2）。"),
              QStringLiteral("address"));
    addOption(parser, QStringLiteral("cc"), QStringLiteral("抄送地址，写法同 --to；写进邮件的 Cc 头。"),
              QStringLiteral("address"));
    addOption(parser, QStringLiteral("bcc"),
              QStringLiteral("密送地址，写法同 --to；这些收件人收到邮件，但邮件中不出现他们的地址。"),
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
    addTlsOptions(parser, QStringLiteral("STARTTLS"));
    addLogOption(parser);
}

void addFetchOptions(QCommandLineParser &parser)
{
    addServerOptions(parser, QStringLiteral("POP3"), QStringLiteral("110"), QStringLiteral("pop3s://"));
    addOption(parser, QStringLiteral("user"), QStringLiteral("邮箱登录名（必填）。"),
              QStringLiteral("user"));
    addPasswordOptions(parser);
    addOption(parser, QStringLiteral("range"),
              QStringLiteral("收取哪些邮件：0-0 为全部（默认），M-N 为第 M 到第 N 封（从 1 起）。"),
              QStringLiteral("range"));
    addOption(parser, QStringLiteral("delete"),
              QStringLiteral("收取成功后在服务器上删除收到的邮件（只删本次收到的）。"));
    addOption(parser, QStringLiteral("attach-dir"),
              QStringLiteral("附件保存到的文件夹（须已存在），默认当前文件夹；已有同名而内容不同的文件时存为“名称 (2).扩展名”，不覆盖原有文件。"),
              QStringLiteral("dir"));
    addOption(parser, QStringLiteral("maildir"),
              QStringLiteral("把每封邮件按服务器发来的原样存入这个 Maildir 文件夹（先写入 tmp 并写入磁盘，再移入 new）；"
                             "文件夹须已存在，缺少的 tmp、new、cur 子文件夹会建立。与 --delete 同用时，"
                             "邮件只在其副本确已写入磁盘后才删除。"),
              QStringLiteral("dir"));
    addOption(parser, QStringLiteral("mbox"),
              QStringLiteral("把每封邮件按原样（mboxrd 格式）加锁追加到这个 mbox 文件，没有时建立；"
                             "与 --delete 同用时，邮件只在其副本确已写入磁盘后才删除。不能与 --maildir 同用。"),
              QStringLiteral("file"));
    addOption(parser, QStringLiteral("only-new"),
              QStringLiteral("只收取上次以来的新邮件：按服务器给的唯一标识（UIDL）判断，每个邮箱的已收列表存在 "
                             "$XDG_STATE_HOME/orvex/（默认 ~/.local/state/orvex/），收取成功后更新；"
                             "服务器不支持 UIDL 时收取全部邮件，并在标准错误输出上说明。"));
    addTlsOptions(parser, QStringLiteral("STLS"));
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
               "         （本地时间 YYYY-MM-DDTHH:MM:SS，邮件没有日期时为 null）、cc（抄送地址的数组）、\n"
               "         replyto、messageid、inreplyto（不带尖括号）、date（ISO 8601，带邮件所写的时区，\n"
               "         如 2026-12-07T18:00:00+08:00，没有日期时为 null）、text（纯文本正文：正文是\n"
               "         HTML 时为其纯文本版本，没有时由 HTML 转成）。\n"
               "\n"
               "服务器证书按系统证书库验证；--ca-file 或环境变量 ORVEX_CA_FILE 可再指定一个 CA 证书文件\n"
               "（指定的文件无法读取时连接失败）。\n"
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

// The server's name as ~/.netrc and a prompt know it: no scheme, no port,
// no brackets around an IPv6 address.
QString bareHost(const QString &server, quint16 port, quint16 defaultPort)
{
    QString ignored;  // the field was checked before
    const std::optional<engine::ServerField> field = engine::resolveServerField(server, port, defaultPort, &ignored);
    QString host = field ? field->host : server;
    if (const qsizetype scheme = host.indexOf(QLatin1String("://")); scheme >= 0)
        host = host.mid(scheme + 3);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    return host;
}

std::optional<QString> passwordFor(const QCommandLineParser &parser, const QString &environmentPassword,
                                   const QString &host, const QString &user, QString &message)
{
    if (parser.isSet(QStringLiteral("password")) && parser.isSet(QStringLiteral("password-command"))) {
        message = QStringLiteral("--password 与 --password-command 只能选一个。");
        return std::nullopt;
    }
    PasswordSources sources;
    if (parser.isSet(QStringLiteral("password")))
        sources.option = parser.value(QStringLiteral("password"));
    if (parser.isSet(QStringLiteral("password-command")))
        sources.command = parser.value(QStringLiteral("password-command"));
    sources.environment = environmentPassword;
    sources.netrcPath = QDir::home().filePath(QStringLiteral(".netrc"));
    std::optional<QString> password = findPassword(sources, host, user, message);
    if (password && password->isEmpty()) {
        message = QStringLiteral("--password：密码不能为空。");
        return std::nullopt;
    }
    return password;
}

// A SHA-256 fingerprint in hexadecimal, pairs optionally joined by ":".
bool isSha256Fingerprint(const QString &text)
{
    static const QRegularExpression hex(
        QStringLiteral("^(?:[0-9A-Fa-f]{2}:){31}[0-9A-Fa-f]{2}$|^[0-9A-Fa-f]{64}$"));
    return hex.match(text).hasMatch();
}

QString checkTls(const QCommandLineParser &parser, TlsArguments &tls)
{
    if (parser.isSet(QStringLiteral("tls"))) {
        const QString mode = parser.value(QStringLiteral("tls"));
        if (mode != QLatin1String("required") && mode != QLatin1String("opportunistic"))
            return QStringLiteral("--tls：\"%1\" 应为 required 或 opportunistic。").arg(mode);
        tls.required = mode == QLatin1String("required");
    }
    if (parser.isSet(QStringLiteral("tls-fingerprint"))) {
        tls.fingerprint = parser.value(QStringLiteral("tls-fingerprint"));
        if (!isSha256Fingerprint(tls.fingerprint))
            return QStringLiteral("--tls-fingerprint：\"%1\" 不是 SHA-256 指纹（64 位十六进制数）。").arg(tls.fingerprint);
    }
    if (parser.isSet(QStringLiteral("ca-file"))) {
        const QFileInfo file(parser.value(QStringLiteral("ca-file")));
        if (!file.isFile() || !file.isReadable())
            return QStringLiteral("--ca-file：找不到可读的文件 \"%1\"。").arg(parser.value(QStringLiteral("ca-file")));
        tls.caFile = file.absoluteFilePath();
    }
    return {};
}

// A Maildir: the folder must exist; its tmp, new and cur are made when
// missing. Returns an error message, empty when all is well.
QString checkMaildir(const QString &folder, QString &absolute)
{
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir())
        return QStringLiteral("--maildir：文件夹 \"%1\" 不存在。").arg(folder);
    absolute = info.absoluteFilePath();
    for (const char *sub : {"tmp", "new", "cur"}) {
        if (!QDir(absolute).mkpath(QLatin1String(sub)))
            return QStringLiteral("--maildir：无法在 \"%1\" 中建立子文件夹 %2。").arg(folder, QLatin1String(sub));
    }
    return {};
}

QString checkMbox(const QString &path, QString &absolute)
{
    const QFileInfo info(path);
    if (path.isEmpty() || info.isDir() || !info.absoluteDir().exists()
        || (info.exists() ? !info.isWritable() : !QFileInfo(info.absolutePath()).isWritable()))
        return QStringLiteral("--mbox：无法写入文件 \"%1\"。").arg(path);
    absolute = info.absoluteFilePath();
    return {};
}

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
    } else if (parser.isSet(QStringLiteral("password")) || parser.isSet(QStringLiteral("password-command"))) {
        return error(QStringLiteral("--password 和 --password-command 要和 --user 一起用：只有给出登录名才做身份验证。"));
    }

    send.from = parser.value(QStringLiteral("from"));
    if (send.from.isEmpty())
        return error(QStringLiteral("缺少 --from（发件人地址）。"));
    send.to = parser.value(QStringLiteral("to"));
    if (send.to.isEmpty())
        return error(QStringLiteral("缺少 --to（收件人地址）。"));
    send.cc = parser.values(QStringLiteral("cc")).join(QLatin1Char(','));
    send.bcc = parser.values(QStringLiteral("bcc")).join(QLatin1Char(','));
    for (const char *option : {"cc", "bcc"}) {
        const QString name = QLatin1String(option);
        if (parser.isSet(name) && !parser.values(name).join(QString()).contains(QLatin1Char('@')))
            return error(QStringLiteral("--%1：\"%2\" 中没有邮件地址。").arg(name, parser.value(name)));
    }
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
    if (QString message = checkTls(parser, send.tls); !message.isEmpty())
        return error(message);
    send.log = parser.isSet(QStringLiteral("log"));
    const std::optional<int> timeout = timeoutFrom(parser);
    if (!timeout)
        return error(badTimeout(parser));
    send.timeout = *timeout;
    // Last, since it may run a command or ask on the terminal: nothing else
    // may be wrong by then.
    if (!send.user.isEmpty()) {
        QString message;
        const std::optional<QString> password =
            passwordFor(parser, environmentPassword, bareHost(send.server, send.port, kDefaultSmtpPort), send.user,
                        message);
        if (!password)
            return error(message);
        send.password = *password;
    }
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
    if (parser.isSet(QStringLiteral("maildir")) && parser.isSet(QStringLiteral("mbox")))
        return error(QStringLiteral("--maildir 与 --mbox 只能选一个。"));
    if (parser.isSet(QStringLiteral("maildir"))) {
        if (QString message = checkMaildir(parser.value(QStringLiteral("maildir")), fetch.maildir); !message.isEmpty())
            return error(message);
    }
    if (parser.isSet(QStringLiteral("mbox"))) {
        if (QString message = checkMbox(parser.value(QStringLiteral("mbox")), fetch.mbox); !message.isEmpty())
            return error(message);
    }
    fetch.onlyNew = parser.isSet(QStringLiteral("only-new"));
    if (QString message = checkTls(parser, fetch.tls); !message.isEmpty())
        return error(message);
    fetch.log = parser.isSet(QStringLiteral("log"));
    const std::optional<int> timeout = timeoutFrom(parser);
    if (!timeout)
        return error(badTimeout(parser));
    fetch.timeout = *timeout;
    // Last, since it may run a command or ask on the terminal.
    QString message;
    const std::optional<QString> password = passwordFor(
        parser, environmentPassword, bareHost(fetch.server, fetch.port, kDefaultPop3Port), fetch.user, message);
    if (!password)
        return error(message);
    fetch.password = *password;
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
