// SPDX-License-Identifier: MIT
#include "htmlview/web_browser_accessible.h"

#include "htmlview/u_web_browser.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <vector>

namespace htmlview {

namespace {

class WebBrowserAccessible;

// One image of the page: a picture named by its alt text. It has no
// widget of its own; it lives as long as the page it belongs to.
class ImageAccessible : public QAccessibleInterface {
public:
    ImageAccessible(WebBrowserAccessible *document, const QString &name) : m_document(document), m_name(name) {}

    bool isValid() const override { return m_document != nullptr; }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override;
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override;
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QString text(QAccessible::Text t) const override { return t == QAccessible::Name ? m_name : QString(); }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::Graphic; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.readOnly = true;
        return s;
    }

private:
    WebBrowserAccessible *m_document;
    QString m_name;
};

class WebBrowserAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit WebBrowserAccessible(u_web_browser *view) : QAccessibleWidget(view, QAccessible::Document) {}
    ~WebBrowserAccessible() override { dropImages(); }

    u_web_browser *view() const { return static_cast<u_web_browser *>(widget()); }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return view()->shownText();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        return s;
    }

    int childCount() const override { return QAccessibleWidget::childCount() + int(images().size()); }
    QAccessibleInterface *child(int index) const override
    {
        const int widgets = QAccessibleWidget::childCount();
        if (index < widgets)
            return QAccessibleWidget::child(index);
        const auto &all = images();
        return index - widgets < int(all.size()) ? all[size_t(index - widgets)] : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const auto &all = images();
        for (size_t i = 0; i < all.size(); ++i)
            if (all[i] == child)
                return QAccessibleWidget::childCount() + int(i);
        return QAccessibleWidget::indexOfChild(child);
    }

    // The text interface: the page's text, read only, with no selection.
    void selection(int, int *startOffset, int *endOffset) const override { *startOffset = *endOffset = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override
    {
        return view()->shownText().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(view()->shownText().size()); }
    QRect characterRect(int) const override { return QRect(); }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return QString();
    }

private:
    // The image children follow the page: built again when its alt texts
    // changed.
    const std::vector<ImageAccessible *> &images() const
    {
        const QStringList names = view()->shownImageTexts();
        if (names != m_imageNames) {
            const_cast<WebBrowserAccessible *>(this)->dropImages();
            m_imageNames = names;
            for (const QString &name : names) {
                auto *image = new ImageAccessible(const_cast<WebBrowserAccessible *>(this), name);
                QAccessible::registerAccessibleInterface(image);
                m_images.push_back(image);
            }
        }
        return m_images;
    }
    void dropImages()
    {
        for (ImageAccessible *image : m_images)
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(image));
        m_images.clear();
        m_imageNames.clear();
    }

    mutable std::vector<ImageAccessible *> m_images;
    mutable QStringList m_imageNames;
};

QWindow *ImageAccessible::window() const
{
    return m_document->window();
}

QAccessibleInterface *ImageAccessible::parent() const
{
    return m_document;
}

QRect ImageAccessible::rect() const
{
    return m_document->rect();
}

QAccessibleInterface *webBrowserFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("u_web_browser") && object && object->isWidgetType())
        return new WebBrowserAccessible(static_cast<u_web_browser *>(object));
    return nullptr;
}

} // namespace

void installWebBrowserAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(webBrowserFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace htmlview
