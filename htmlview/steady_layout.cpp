#include "htmlview/steady_layout.h"

#include <QAbstractTextDocumentLayout>
#include <QEvent>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace htmlview {

namespace {

// About 5 ms of layout on this kind of machine, so that even a loaded one
// answers between two steps well within 50 ms.
constexpr int kStepChars = 8000;

} // namespace

SteadyLayout::SteadyLayout(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &SteadyLayout::step);
}

void SteadyLayout::start(QTextDocument *document)
{
    stop();
    m_document = document;
    m_layout = document->documentLayout();
    m_position = 0;
    if (laidOutToTheEnd())
        return;
    m_layout->installEventFilter(this);
    m_timer.start();
}

void SteadyLayout::stop()
{
    m_timer.stop();
    if (m_layout)
        m_layout->removeEventFilter(this);
    m_layout = nullptr;
    m_document = nullptr;
}

bool SteadyLayout::eventFilter(QObject *watched, QEvent *event)
{
    // The layout's own timers drive its doubling steps; they run again
    // once the document is laid out to its end.
    return watched == m_layout && event->type() == QEvent::Timer;
}

bool SteadyLayout::laidOutToTheEnd() const
{
    const QTextLayout *last = m_document->lastBlock().layout();
    return last && last->lineCount() > 0;
}

void SteadyLayout::step()
{
    if (!m_document || laidOutToTheEnd()) {
        stop();
        return;
    }
    // Asking for a block's place lays the document out up to that block.
    m_position = qMin(m_position + kStepChars, m_document->characterCount() - 1);
    m_document->documentLayout()->blockBoundingRect(m_document->findBlock(m_position));
    if (m_position >= m_document->characterCount() - 1)
        stop();
}

} // namespace htmlview
