// SPDX-License-Identifier: MIT
#pragma once

#include <QApplication>
#include <QObject>
#include <QTimer>
#include <QWidget>

// Catches a modal window that bypasses the dialog service (a prompt opened
// directly): counts it and closes it so that the test goes on.
class ModalWatch : public QObject {
public:
    ModalWatch()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                ++caught;
                modal->close();
            }
        });
        m_timer.start(10);
    }
    int caught = 0;

private:
    QTimer m_timer;
};
