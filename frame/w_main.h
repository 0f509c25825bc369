// SPDX-License-Identifier: MIT
#pragma once

#include <QMainWindow>

class QMdiArea;
class QMdiSubWindow;
class m_email;

// The MDI frame: hosts the compose and receive sheets, carries the menu
// m_email and the toolbar built from it. Closing it closes every sheet
// without a question and ends the program.
class w_main : public QMainWindow {
    Q_OBJECT
public:
    explicit w_main(QWidget *parent = nullptr);
    ~w_main() override;

    // Opens the sheet of window class T, or activates it when one is open.
    // Returns the sheet's subwindow.
    template <typename T>
    QMdiSubWindow *opensheet();

    QMdiArea *mdiArea() const { return m_mdi; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fitDesignSizeToScreen();
    void closeSheetsWithTheUsualKeys();
    void keepDesignSize(QMdiSubWindow *window, const QSize &design);
    void showTransferProgressInStatusBar();
    QMdiSubWindow *findSheet(const char *className) const;
    static bool isOpen(const QMdiSubWindow *sheet);
    QMdiSubWindow *addSheet(QWidget *sheet);

    QMdiArea *m_mdi;
    m_email *m_menu;
};

template <typename T>
QMdiSubWindow *w_main::opensheet()
{
    if (QMdiSubWindow *open = findSheet(T::staticMetaObject.className()))
        return open;
    return addSheet(new T);
}
