// SPDX-License-Identifier: MIT
#include "cli/password_sources.h"

#include "cli/netrc.h"
#include "cli/stderr_dialog_service.h"

#include <QProcess>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The first line the command writes, through the shell as typed; its stderr
// goes to ours, so that its own complaints reach the user, but nothing of
// its output ever does.
std::optional<QString> passwordFromCommand(const QString &command, QString &error)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    if (!process.waitForStarted() || !process.waitForFinished(-1)) {
        error = QStringLiteral("--password-command：无法执行命令“%1”。").arg(command);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit) {
        error = QStringLiteral("--password-command：命令“%1”异常终止，没有得到密码。").arg(command);
        return std::nullopt;
    }
    if (process.exitCode() != 0) {
        error = QStringLiteral("--password-command：命令“%1”以退出状态 %2 结束，没有得到密码。")
                    .arg(command)
                    .arg(process.exitCode());
        return std::nullopt;
    }
    QByteArray line = process.readAllStandardOutput();
    line.truncate(line.indexOf('\n') < 0 ? line.size() : line.indexOf('\n'));
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty()) {
        error = QStringLiteral("--password-command：命令“%1”没有输出密码。").arg(command);
        return std::nullopt;
    }
    return QString::fromUtf8(line);
}

// Turns the terminal's echo off for as long as it lives.
class EchoOff {
public:
    explicit EchoOff(int fd) : m_fd(fd)
    {
        if (::tcgetattr(fd, &m_saved) != 0)
            return;
        termios quiet = m_saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        m_active = ::tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
    }
    ~EchoOff()
    {
        if (m_active)
            ::tcsetattr(m_fd, TCSAFLUSH, &m_saved);
    }
    EchoOff(const EchoOff &) = delete;
    EchoOff &operator=(const EchoOff &) = delete;

private:
    int m_fd;
    termios m_saved{};
    bool m_active = false;
};

// Asks on the controlling terminal, without echo; only when standard input
// is a terminal, so that a script or a cron job never waits for an answer.
std::optional<QString> passwordFromTerminal(const QString &host, const QString &user)
{
    if (!::isatty(STDIN_FILENO))
        return std::nullopt;
    const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    const QByteArray prompt = QStringLiteral("%1@%2 的密码：").arg(user, host).toUtf8();
    std::optional<QString> password;
    {
        const EchoOff echoOff(fd);
        if (::write(fd, prompt.constData(), size_t(prompt.size())) == prompt.size()) {
            QByteArray line;
            char c = 0;
            ssize_t got = 0;
            while ((got = ::read(fd, &c, 1)) == 1 && c != '\n')
                line.append(c);
            if (got == 1 || !line.isEmpty())
                password = QString::fromUtf8(line.endsWith('\r') ? line.chopped(1) : line);
            line.fill('\0');
        }
    }
    ::close(fd);
    return password;
}

const QString kNoPassword = QStringLiteral(
    "缺少密码：请用 --password-command、环境变量 ORVEX_PASSWORD 或 ~/.netrc 给出（或在终端上运行以输入密码）。");

} // namespace

std::optional<QString> findPassword(const PasswordSources &sources, const QString &host, const QString &user,
                                    QString &error)
{
    if (sources.option)
        return sources.option;
    if (sources.command)
        return passwordFromCommand(*sources.command, error);
    if (!sources.environment.isEmpty())
        return sources.environment;
    QString warning;
    if (std::optional<QString> password = netrcPassword(sources.netrcPath, host, user, warning))
        return password;
    if (!warning.isEmpty())
        printError(QStringLiteral("orvex-cli：") + warning);
    if (std::optional<QString> password = passwordFromTerminal(host, user); password && !password->isEmpty())
        return password;
    error = kNoPassword;
    return std::nullopt;
}

void hidePasswordArguments(int argc, char *argv[])
{
    static const char option[] = "--password";
    static const char joined[] = "--password=";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            return;
        if (std::strcmp(argv[i], option) == 0 && i + 1 < argc) {
            ++i;
            std::memset(argv[i], '*', std::strlen(argv[i]));
        } else if (std::strncmp(argv[i], joined, sizeof joined - 1) == 0) {
            char *value = argv[i] + sizeof joined - 1;
            std::memset(value, '*', std::strlen(value));
        }
    }
}
