// SPDX-License-Identifier: MIT
#include "app/compose_report.h"

#include "compose/w_sendmail.h"
#include "frame/w_main.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSaveFile>

#include <cstdio>

namespace {

// Read back from the controls, so the report is what the user would see.
QJsonObject composeFields(const w_sendmail &sheet)
{
    const auto line = [&sheet](const char *name) {
        const auto *edit = sheet.findChild<QLineEdit *>(QLatin1String(name));
        return edit ? edit->text() : QString();
    };
    const auto *body = sheet.findChild<QPlainTextEdit *>(QStringLiteral("mle_body"));
    return QJsonObject{{QStringLiteral("recipients"), line("sle_send_email")},
                       {QStringLiteral("subject"), line("sle_subject")},
                       {QStringLiteral("body"), body ? body->toPlainText() : QString()}};
}

} // namespace

void writeComposeReportWhenAsked(const w_main &frame)
{
    const QString path = qEnvironmentVariable("ORVEX_COMPOSE_REPORT");
    if (path.isEmpty())
        return;
    const auto *sheet = frame.findChild<w_sendmail *>();
    QSaveFile file(path);
    const bool written = sheet && file.open(QIODevice::WriteOnly)
                         && file.write(QJsonDocument(composeFields(*sheet)).toJson()) >= 0 && file.commit();
    if (!written)
        std::fprintf(stderr, "orvex: could not write the compose report to %s\n", qPrintable(path));
}
