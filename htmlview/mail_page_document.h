#pragma once

#include <QTextDocument>
#include <QUrl>
#include <QVariant>

namespace htmlview {

// What a resource named in a page resolves to. A mail is untrusted input,
// so the only resources it may pull in are data: URLs carried inside the
// page itself; everything else resolves to an empty value, never to a file
// or a network address. An image whose data does not decode as a picture is
// an empty image too: left null, Qt's image handler would look for the name
// on disk itself. Safe to call from any thread.
QVariant mailResource(int type, const QUrl &name);

// The document a page is shown in: it loads its resources through
// mailResource() only, also while a page is imported on a worker thread.
class MailPageDocument : public QTextDocument {
    Q_OBJECT
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int type, const QUrl &name) override;
};

} // namespace htmlview
