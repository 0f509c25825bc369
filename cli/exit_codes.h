// SPDX-License-Identifier: MIT
#pragma once

#include "engine/failure_kind.h"

// Exit codes of orvex-cli, those of <sysexits.h> where one fits, so that a
// script or a mail agent can tell a wrong password from a server that is
// down. `exitCodeFor` is the one place that maps a failure to its code.
enum ExitCode {
    kExitOk = 0,
    kExitFailed = 1,           // a failure of no more particular kind
    kExitBadArguments = 2,     // the command line (or a recipient list) cannot be used
    kExitDataError = 65,       // EX_DATAERR: a recipient, the sender or the message was refused
    kExitNoHost = 68,          // EX_NOHOST: the server's name does not resolve
    kExitUnavailable = 69,     // EX_UNAVAILABLE: TLS failed, or the server or component lacks a service
    kExitIoError = 74,         // EX_IOERR: a local file could not be read or written
    kExitTemporary = 75,       // EX_TEMPFAIL: no connection, a broken line, a time-out
    kExitProtocol = 76,        // EX_PROTOCOL: the server's replies made no sense
    kExitAuthentication = 77,  // EX_NOPERM: the server refused the login
};

constexpr int exitCodeFor(engine::FailureKind kind)
{
    switch (kind) {
    case engine::FailureKind::None:
        return kExitOk;
    case engine::FailureKind::Input:
        return kExitBadArguments;
    case engine::FailureKind::Authentication:
        return kExitAuthentication;
    case engine::FailureKind::Connection:
        return kExitTemporary;
    case engine::FailureKind::UnknownHost:
        return kExitNoHost;
    case engine::FailureKind::Tls:
    case engine::FailureKind::Unavailable:
        return kExitUnavailable;
    case engine::FailureKind::Refused:
        return kExitDataError;
    case engine::FailureKind::LocalFile:
        return kExitIoError;
    case engine::FailureKind::Protocol:
        return kExitProtocol;
    case engine::FailureKind::Other:
        break;
    }
    return kExitFailed;
}

// The exit codes as --help lists them.
inline const char *exitCodesHelp()
{
    return "退出码（同 sysexits.h）：\n"
           "  0   成功\n"
           "  1   其他失败\n"
           "  2   参数有误，或收件人列表中有不是一个地址的部分（什么也没有发出）\n"
           "  65  服务器拒绝了收件人、发件人或邮件内容\n"
           "  68  找不到服务器（主机名无法解析）\n"
           "  69  TLS 无法建立或证书未通过验证，或服务器、组件不提供所需的服务\n"
           "  74  本地文件无法读取或写入\n"
           "  75  暂时失败：无法连接、连接中断或超时，稍后可重试\n"
           "  76  服务器的应答不符合协议\n"
           "  77  登录失败（用户名或密码被拒绝）\n"
           "失败时原因总写到标准错误输出。\n";
}
