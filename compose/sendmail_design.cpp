// SPDX-License-Identifier: MIT
#include "compose/sendmail_design.h"

#include <array>

namespace compose {

namespace {

using K = ControlKind;
using F = FontStyle;

// clang-format off
constexpr std::array<ControlDesign, 39> controls{{
    // name              kind               x     y     w     h    tab  font  blue   right  text
    {"st_19",           K::StaticText,     2473, 1444,  402,   48,   0, F::S,  false, false, "发送日志："},
    {"mle_2",           K::MultiLineEdit,  2478, 1512, 1070,  356,  30, F::S,  false, false, ""},
    {"st_18",           K::StaticText,     2473, 1228, 1051,  248,   0, F::K,  true,  false, "最稳定的C++邮件发送程序，发送成功率100%！"},
    {"st_5",            K::StaticText,     2482,  932, 1029,   52,   0, F::S,  false, false, "4、支持多收件人，采用逗号分隔。"},
    {"st_17",           K::StaticText,     2482,  864, 1029,   52,   0, F::S,  false, false, "3、支持多附件邮件，支持大附件。"},
    {"mle_body",        K::MultiLineEdit,   453,  476, 1906, 1012,  20, F::A,  false, false, "邮件正文"},
    {"cb_del",          K::CommandButton,    87, 1644,  224,   68,  30, F::A,  false, false, "删除"},
    {"cb_addfile",      K::CommandButton,    87, 1564,  224,   68,  20, F::A,  false, false, "添加"},
    {"st_7",            K::StaticText,      453, 1492,  361,   56,   0, F::A,  false, false, "附件："},
    {"lb_attachments",  K::ListBox,         453, 1556, 1906,  164,  20, F::A,  false, false, ""},
    {"cbx_sendhtml",    K::CheckBox,        942, 1764,  699,   68,   0, F::A,  false, false, "以HTML形式发送"},
    {"st_6",            K::StaticText,       69,  136,  411,   56,   0, F::A,  true,  false, "* 收件人地址："},
    {"st_4",            K::StaticText,     1243,  248,  357,   64,   0, F::A,  true,  true,  "*发件人地址："},
    {"st_3",            K::StaticText,       91,  248,  338,   64,   0, F::A,  false, true,  "发送人名称："},
    {"sle_from_email",  K::SingleLineEdit, 1623,  240,  736,   80,  40, F::A,  false, false, "demo@localhost"},
    {"sle_from_name",   K::SingleLineEdit,  453,  240,  736,   80,  30, F::A,  false, false, "orvex演示"},
    {"cbx_receipt",     K::CheckBox,        453, 1764,  699,   68,   0, F::A,  false, false, "请求回执"},
    {"st_2",            K::StaticText,      174,  476,  247,   68,   0, F::A,  true,  true,  "* 内容："},
    {"sle_subject",     K::SingleLineEdit,  453,  368, 1906,   80,  30, F::A,  false, false, "测试邮件"},
    {"st_1",            K::StaticText,      174,  376,  247,   68,   0, F::A,  true,  true,  "*主题："},
    {"sle_port",        K::SingleLineEdit, 2807,  280,  224,   80,  20, F::A,  false, false, "25"},
    {"st_8",            K::StaticText,     2441,  292,  361,   68,   0, F::A,  false, true,  "端口："},
    {"cbx_smtpauth",    K::CheckBox,       2807,  204,  727,   72,   0, F::A,  false, false, "SMTP服务器需要身份验证"},
    {"sle_password",    K::SingleLineEdit, 2807,  532,  553,   80,  30, F::A,  false, false, ""},
    {"st_9",            K::StaticText,     2441,  544,  361,   68,   0, F::A,  true,  true,  "*密码："},
    {"st_10",           K::StaticText,     2441,  388,  361,   68,   0, F::A,  true,  true,  "*登陆名："},
    {"sle_userid",      K::SingleLineEdit, 2807,  376,  553,   80,  20, F::A,  false, false, "demo"},
    {"sle_server",      K::SingleLineEdit, 2807,  120,  553,   80,  10, F::A,  false, false, "localhost"},
    {"st_11",           K::StaticText,     2441,  128,  370,   68,   0, F::A,  true,  true,  "*SMTP服务器："},
    {"st_12",           K::StaticText,     2469,  472,  946,   72,   0, F::S,  false, false, "注意：发件人地址要和SMTP账号匹配。"},
    {"st_13",           K::StaticText,     2482,  664,  457,   72,   0, F::SB, false, false, "组件特点："},
    {"st_14",           K::StaticText,     2482,  736, 1029,   56,   0, F::S,  false, false, "1、组件用C++编写，易于扩展和移植。"},
    {"st_15",           K::StaticText,     2482,  800, 1029,   52,   0, F::S,  false, false, "2、支持HTML邮件。"},
    {"mle_1",           K::MultiLineEdit,  2482, 1088, 1029,  720,  10, F::A,  false, false, "发件人地址要和SMTP账号匹配；多收件人时采用逗号分隔。"},
    {"st_16",           K::StaticText,     2482, 1028,  457,   72,   0, F::SB, false, false, "注意："},
    {"cb_send",         K::CommandButton,  2025, 1736,  334,  100,  20, F::A,  false, false, "发送"},
    {"gb_1",            K::GroupBox,       2414,   32, 1134,  612,  -1, F::A,  false, false, "SMTP服务器设置(免费电子邮件的smtp即可)"},
    {"gb_2",            K::GroupBox,         23,   32, 2363, 1832,  -1, F::A,  false, false, "邮件"},
    {"sle_send_email",  K::SingleLineEdit,  453,  124, 1906,   80,  30, F::A,  false, false, "demo@localhost"},
}};
// clang-format on

} // namespace

std::span<const ControlDesign> sendmailControls()
{
    return controls;
}

QFont fontFor(FontStyle style)
{
    switch (style) {
    case FontStyle::A: {
        QFont font(QStringLiteral("Arial"), 8);
        font.setStyleHint(QFont::SansSerif);
        return font;
    }
    case FontStyle::S:
        return QFont(QStringLiteral("宋体"), 9);
    case FontStyle::SB:
        return QFont(QStringLiteral("宋体"), 9, QFont::Bold);
    case FontStyle::K:
        return QFont(QStringLiteral("楷体_GB2312"), 12, QFont::Bold);
    }
    return QFont();
}

} // namespace compose
