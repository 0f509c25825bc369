// SPDX-License-Identifier: MIT
#include "receive/email_list_presentation.h"

#include "receive/d_email_list.h"

#include <QDateTime>

namespace {

// Each column reaches to where the next one starts.
constexpr int kColumnWidthUnits[] = {146, 526, 1723, 562};

} // namespace

email_list_presentation::email_list_presentation(d_email_list *rows, QObject *parent)
    : QAbstractTableModel(parent), m_rows(rows)
{
    connect(rows, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(rows, &QAbstractItemModel::modelReset, this, [this] { endResetModel(); });
    connect(rows, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex &, int first, int last) { beginInsertRows(QModelIndex(), first, last); });
    connect(rows, &QAbstractItemModel::rowsInserted, this, [this] { endInsertRows(); });
    connect(rows, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &, int first, int last) { beginRemoveRows(QModelIndex(), first, last); });
    connect(rows, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex &, int first) {
        endRemoveRows();
        // Every row after the removed ones has a new number.
        if (first < rowCount())
            emit dataChanged(index(first, number), index(rowCount() - 1, number));
    });
    connect(rows, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &from, const QModelIndex &to) {
        emit dataChanged(index(from.row(), 0), index(to.row(), columnCountValue - 1));
    });
}

int email_list_presentation::columnWidthUnits(int column)
{
    return column >= 0 && column < columnCountValue ? kColumnWidthUnits[column] : 0;
}

QFont email_list_presentation::gridFont()
{
    QFont font(QStringLiteral("宋体"), 9);
    font.setWeight(QFont::Normal);
    return font;
}

int email_list_presentation::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_rows ? 0 : m_rows->rowCount();
}

int email_list_presentation::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columnCountValue;
}

QVariant email_list_presentation::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_rows || index.row() >= rowCount())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return displayText(index.row(), index.column());
    case Qt::FontRole: {
        QFont font = gridFont();
        if (index.column() == topic && isUnread(index.row()))
            font.setWeight(QFont::Bold);
        return font;
    }
    case Qt::ToolTipRole:
        // A long sender or subject is cut short in its cell.
        if (index.column() == sender || index.column() == topic)
            return displayText(index.row(), index.column());
        return QVariant();
    case Qt::TextAlignmentRole:
        if (index.column() == number)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return QVariant();
    }
}

QVariant email_list_presentation::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (role == Qt::FontRole)
        return gridFont();
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case number:
        return QStringLiteral("序号");
    case sender:
        return QStringLiteral("发件人");
    case topic:
        return QStringLiteral("主题");
    case date:
        return QStringLiteral("日期");
    default:
        return QVariant();
    }
}

QVariant email_list_presentation::displayText(int row, int column) const
{
    const long rowNumber = row + 1;
    switch (column) {
    case number:
        return QString::number(rowNumber);
    case sender:
        return m_rows->item(rowNumber, QStringLiteral("sender")).toString();
    case topic:
        return m_rows->item(rowNumber, QStringLiteral("topic")).toString();
    case date: {
        const QDateTime sent = m_rows->item(rowNumber, QStringLiteral("sendtime")).toDateTime();
        return sent.isValid() ? sent.toString(QStringLiteral("yyyy-MM-dd")) : QString();
    }
    default:
        return QVariant();
    }
}

bool email_list_presentation::isUnread(int row) const
{
    // Only an ifread of exactly 0 counts: a row without a value is read.
    const QVariant value = m_rows->item(row + 1, QStringLiteral("ifread"));
    if (!value.isValid() || value.isNull())
        return false;
    bool ok = false;
    const long long flag = value.toLongLong(&ok);
    return ok && flag == 0;
}
