// SPDX-License-Identifier: MIT
#include "receive/email_grid.h"

#include "platform/layout_units.h"
#include "receive/d_email_list.h"
#include "receive/email_list_presentation.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>

email_grid::email_grid(d_email_list *rows, QWidget *parent)
    : QTableView(parent), m_presentation(new email_list_presentation(rows, this))
{
    setModel(m_presentation);
    setFont(email_list_presentation::gridFont());
    // The highlight follows the clicked handler only (highlightRow), not
    // the keyboard or the mouse by themselves.
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setWordWrap(false);
    // Tab moves on to the next control rather than from cell to cell.
    setTabKeyNavigation(false);
    setShowGrid(false);
    setAlternatingRowColors(false);

    verticalHeader()->hide();
    const int lineHeight = QFontMetrics(email_list_presentation::gridFont()).height();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(lineHeight + 6);

    QHeaderView *header = horizontalHeader();
    header->setFont(email_list_presentation::gridFont());
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setSectionsMovable(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setDefaultAlignment(Qt::AlignCenter);
    header->setFixedHeight(lineHeight + 6);
    header->setStretchLastSection(false);
    for (int column = 0; column < email_list_presentation::columnCountValue; ++column)
        header->resizeSection(column,
                              platform::unitsToPixelsX(email_list_presentation::columnWidthUnits(column)));
    // The columns fit the grid's width: the subject takes what the others
    // leave, and a long text ends in "…" with the whole of it in a tooltip.
    header->setSectionResizeMode(email_list_presentation::topic, QHeaderView::Stretch);
    setTextElideMode(Qt::ElideRight);
}

void email_grid::highlightRow(long row)
{
    QItemSelectionModel *selection = selectionModel();
    selection->clearSelection();
    if (row < 1 || row > m_presentation->rowCount())
        return;
    const QModelIndex index = m_presentation->index(int(row - 1), 0);
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

long email_grid::highlightedRow() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? 0 : rows.first().row() + 1;
}

bool email_grid::hitsRow(const QMouseEvent *event) const
{
    return indexAt(event->position().toPoint()).isValid();
}

void email_grid::mousePressEvent(QMouseEvent *event)
{
    m_pressedRow = 0;
    if (!hitsRow(event) || event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    m_pressedRow = indexAt(event->position().toPoint()).row() + 1;
    QTableView::mousePressEvent(event);
}

void email_grid::mouseReleaseEvent(QMouseEvent *event)
{
    const long pressed = m_pressedRow;
    m_pressedRow = 0;
    if (!hitsRow(event)) {
        event->accept();
        return;
    }
    QTableView::mouseReleaseEvent(event);
    const long released = indexAt(event->position().toPoint()).row() + 1;
    if (event->button() == Qt::LeftButton && pressed == released)
        emit rowClicked(released);
}

void email_grid::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (!hitsRow(event)) {
        event->accept();
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit rowActivated(indexAt(event->position().toPoint()).row() + 1);
}

void email_grid::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid()) {
        emit rowActivated(currentIndex().row() + 1);
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && currentIndex().isValid()) {
        emit rowClicked(currentIndex().row() + 1);
        event->accept();
        return;
    }
    m_movingByKey = true;
    QTableView::keyPressEvent(event);
    m_movingByKey = false;
}

// A list of messages, not a sheet of cells: Home and End go to the first
// and the last message.
QModelIndex email_grid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    if (action == MoveHome || action == MoveEnd)
        modifiers |= Qt::ControlModifier;
    return QTableView::moveCursor(action, modifiers);
}

void email_grid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_movingByKey && current.isValid() && current.row() != previous.row())
        emit rowClicked(current.row() + 1);
}

void email_grid::mouseMoveEvent(QMouseEvent *event)
{
    // Dragging over the rows would move the highlight without a click.
    event->accept();
}
