#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class QTextDocument;

namespace htmlview {

// Lays a long document out in steps of bounded size while the window waits
// for input. Qt's own background layout doubles its step each time, so that
// the last steps of a long page keep the window from answering for 100 ms
// and more; while this runs, those steps are held back and the document is
// laid out a fixed number of characters at a time instead.
class SteadyLayout : public QObject {
    Q_OBJECT
public:
    explicit SteadyLayout(QObject *parent = nullptr);

    // Starts laying out `document` (already given its page size) from the
    // position its layout has reached; stops any earlier run.
    void start(QTextDocument *document);
    void stop();
    bool running() const { return m_timer.isActive(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void step();
    bool laidOutToTheEnd() const;

    QPointer<QTextDocument> m_document;
    QPointer<QObject> m_layout;
    QTimer m_timer;
    int m_position = 0;
};

} // namespace htmlview
