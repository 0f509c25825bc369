// SPDX-License-Identifier: MIT
#include "platform/fonts.h"

#include <QFont>
#include <QGuiApplication>
#include <QStringList>

namespace platform {

void installFontSubstitutions()
{
    QFont::insertSubstitutions(QStringLiteral("Arial"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"),
                                QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Sans Serif")});
    QFont::insertSubstitutions(QStringLiteral("宋体"),
                               {QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC"),
                                QStringLiteral("Noto Sans CJK SC")});
    QFont::insertSubstitutions(QStringLiteral("楷体_GB2312"),
                               {QStringLiteral("AR PL UKai CN"), QStringLiteral("Noto Serif CJK SC")});

    // The interface face (menus, toolbar, dialogs) usually has no Chinese
    // glyphs; without a hint, fontconfig's fallback for them depends on the
    // locale and may be a Ming face. Prefer the sans CJK face, which matches
    // the Latin text beside it.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        const QString uiFamily = QGuiApplication::font().family();
        if (!uiFamily.isEmpty() && QFont::substitutes(uiFamily).isEmpty())
            QFont::insertSubstitution(uiFamily, QStringLiteral("Noto Sans CJK SC"));
    }
}

} // namespace platform
