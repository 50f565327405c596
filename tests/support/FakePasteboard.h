#pragma once

#include "platform/Pasteboard.h"

#include <functional>

// The clipboard in memory, with a change count like the system's.
class FakePasteboard final : public Pasteboard {
public:
    qint64 changeCount() override { return m_changeCount; }
    qsizetype itemCount() override { return m_items.size(); }
    QStringList itemTypes(qsizetype item) override;
    std::optional<QByteArray> data(qsizetype item, const QString& type) override;
    QStringList types() override;
    qint64 clearContents() override;
    bool writeItems(const QList<PasteboardItem>& items) override;

    // Another application copies: new contents, new change count.
    void copyFromOtherApplication(const QList<PasteboardItem>& items);
    void copyTextFromOtherApplication(const QString& text);
    const QList<PasteboardItem>& items() const { return m_items; }
    // The text a paste would insert, empty when there is none.
    QString plainText() const;
    // Another application pastes: it reads the text, which counts as a read when reads are
    // tracked.
    QString pasteIntoOtherApplication();
    // Tells readsByFocusedApplication(), as the system clipboard does; off, the board cannot tell.
    void setTracksReads(bool tracks) { m_tracksReads = tracks; }
    std::optional<qint64> readsByFocusedApplication() override;
    // Our own write is what the board holds now.
    bool holdsOurWrite() const { return m_ours; }

    // Types announced by an owner that hands out no item.
    void setAnnouncedTypes(const QStringList& types) { m_announcedTypes = types; }
    // The owner does not deliver this type.
    void setUnreadableType(const QString& type) { m_unreadableType = type; }
    void setRefusesWrites(bool refuses) { m_refusesWrites = refuses; }
    // A clipboard manager that adds a type of its own to everything written.
    void setAddsTypeOnWrite(const QString& type) { m_addedType = type; }
    // Runs on every read of data, to let another writer step in mid-read.
    void setOnRead(std::function<void()> onRead) { m_onRead = std::move(onRead); }
    // Runs right after every write, as something that happens that very moment.
    void setAfterWrite(std::function<void()> afterWrite) { m_afterWrite = std::move(afterWrite); }

    int writeCount() const { return m_writes; }

private:
    QList<PasteboardItem> m_items;
    QStringList m_announcedTypes;
    QString m_unreadableType;
    QString m_addedType;
    std::function<void()> m_onRead;
    std::function<void()> m_afterWrite;
    qint64 m_changeCount = 1;
    bool m_refusesWrites = false;
    bool m_tracksReads = false;
    bool m_ours = false;
    qint64 m_reads = 0;
    int m_writes = 0;
};
