// SPDX-License-Identifier: MIT
#include "receive/d_email_list.h"

const char *const d_email_list::kDataSource =
    "SELECT SYS_Email_main.ID, SYS_Email_main.emailid, SYS_Email_main.Folder, SYS_Email_main.ifread, "
    "SYS_Email_main.reciever, SYS_Email_main.chaosong, SYS_Email_main.topic, SYS_Email_main.body, "
    "SYS_Email_main.sendtime, SYS_Email_main.sender, SYS_Email_main.attach, SYS_Email_main.attachpath, "
    "SYS_Email_main.attachname FROM SYS_Email_main WHERE SYS_Email_main.emailid = :id";

d_email_list::d_email_list(QObject *parent) : QAbstractTableModel(parent)
{
    setObjectName(QStringLiteral("d_email_list"));
}

QStringList d_email_list::columnNames()
{
    static const QStringList names = {
        QStringLiteral("id"),       QStringLiteral("emailid"), QStringLiteral("folder"),
        QStringLiteral("ifread"),   QStringLiteral("reciever"), QStringLiteral("chaosong"),
        QStringLiteral("topic"),    QStringLiteral("body"),    QStringLiteral("sendtime"),
        QStringLiteral("sender"),   QStringLiteral("attach"),  QStringLiteral("attachpath"),
        QStringLiteral("attachname"),
    };
    return names;
}

int d_email_list::columnIndex(const QString &name)
{
    return int(columnNames().indexOf(name.toLower()));
}

int d_email_list::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int d_email_list::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columnCountValue;
}

QVariant d_email_list::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= columnCountValue)
        return QVariant();
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return row.values.at(index.column());
    case HtmlRole:
        return row.html;
    default:
        return QVariant();
    }
}

bool d_email_list::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= columnCountValue)
        return false;
    Row &row = m_rows[index.row()];
    if (role == HtmlRole)
        row.html = value.toBool();
    else if (role == Qt::EditRole || role == Qt::DisplayRole)
        row.values[index.column()] = value;
    else
        return false;
    emit dataChanged(index, index, {role});
    return true;
}

QVariant d_email_list::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < columnCountValue)
        return columnNames().at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void d_email_list::reset()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

long d_email_list::appendEmptyRow()
{
    const int position = int(m_rows.size());
    beginInsertRows(QModelIndex(), position, position);
    m_rows.append(Row());
    endInsertRows();
    return position + 1;
}

void d_email_list::appendRows(const QList<Row> &rows)
{
    if (rows.isEmpty())
        return;
    const int position = int(m_rows.size());
    beginInsertRows(QModelIndex(), position, position + int(rows.size()) - 1);
    m_rows.append(rows);
    endInsertRows();
}

bool d_email_list::setItem(long row, const QString &column, const QVariant &value)
{
    const int c = columnIndex(column);
    if (!validRow(row) || c < 0)
        return false;
    return setData(index(int(row - 1), c), value);
}

QVariant d_email_list::item(long row, const QString &column) const
{
    const int c = columnIndex(column);
    if (!validRow(row) || c < 0)
        return QVariant();
    return m_rows.at(row - 1).values.at(c);
}

void d_email_list::setHtml(long row, bool html)
{
    if (validRow(row))
        setData(index(int(row - 1), 0), html, HtmlRole);
}

QStringList d_email_list::attachmentPaths(long row) const
{
    return validRow(row) ? m_rows.at(row - 1).attachmentPaths : QStringList();
}

bool d_email_list::isHtml(long row) const
{
    return validRow(row) && m_rows.at(row - 1).html;
}
