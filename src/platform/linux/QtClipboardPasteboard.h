#pragma once

#include "platform/Pasteboard.h"

#include <QObject>

class QMimeData;

// The X11 CLIPBOARD selection through QClipboard, as one item whose representations are the
// owner's formats. X11 keeps no change count, so one is kept here: it moves on every change
// Qt reports and on every write of ours, and not again for the ownership changes that our own
// writes cause.
class QtClipboardPasteboard : public QObject, public Pasteboard {
    Q_OBJECT
public:
    explicit QtClipboardPasteboard(QObject* parent = nullptr);

    qint64 changeCount() override;
    qsizetype itemCount() override;
    QStringList itemTypes(qsizetype item) override;
    std::optional<QByteArray> data(qsizetype item, const QString& type) override;
    QStringList types() override;
    qint64 clearContents() override;
    bool writeItems(const QList<PasteboardItem>& items) override;

private:
    const QMimeData* contents() const;
    QStringList formats() const;

    // Our own contents while they offer text under the extra name only we gave it (it is not
    // read back, so that they read back as written). Only compared, never used.
    const QMimeData* m_aliasedText = nullptr;
    qint64 m_changeCount = 0;
    bool m_writing = false;
};
