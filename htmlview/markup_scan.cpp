// SPDX-License-Identifier: MIT
#include "htmlview/markup_scan.h"

#include <QStringView>

namespace htmlview {

bool startsWithAt(const QString &text, qsizetype at, QLatin1String what)
{
    return QStringView(text).mid(at, what.size()).compare(what, Qt::CaseInsensitive) == 0;
}

QString tagName(const QString &html, qsizetype at)
{
    qsizetype i = at + 1;
    if (i < html.size() && html.at(i) == QLatin1Char('/'))
        ++i;
    const qsizetype start = i;
    while (i < html.size() && html.at(i).isLetterOrNumber())
        ++i;
    return html.mid(start, i - start).toLower();
}

} // namespace htmlview
