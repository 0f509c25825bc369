// SPDX-License-Identifier: MIT
#include "engine/fetch_range.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace engine {

namespace {

std::optional<qint64> decimal(QStringView text)
{
    const QStringView digits = text.trimmed();
    if (digits.isEmpty())
        return std::nullopt;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    bool ok = false;
    const qint64 value = digits.toLongLong(&ok);
    if (!ok)  // beyond any mailbox: read as "the last message"
        return std::numeric_limits<qint64>::max();
    return value;
}

} // namespace

bool asksForAll(const QString &index)
{
    return index == QLatin1String("0-0");
}

FetchRange rangeWithin(const QString &index, qint64 count)
{
    const qsizetype dash = index.indexOf(u'-');
    if (dash < 0)
        return {};
    const std::optional<qint64> from = decimal(QStringView(index).left(dash));
    const std::optional<qint64> to = decimal(QStringView(index).mid(dash + 1));
    if (!from || !to)
        return {};
    return {std::max<qint64>(*from, 1), std::min<qint64>(*to, count)};
}

} // namespace engine
