#pragma once

#include "platform/Pasteboard.h"

#include <QDeadlineTimer>
#include <QObject>
#include <memory>

class WaylandConnection;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_offer_v1;
struct zwlr_data_control_source_v1;

// The seat's clipboard on wlroots compositors (sway and others), through their data-control
// interface: it reads and sets the clipboard without a focused window, as clipboard managers
// do, so a program that never takes the keyboard can still lend it for a paste and give the
// user's contents back. One item at most, its types the owner's MIME types. The change count
// moves on every new selection the compositor announces, and on each write of ours, but not
// again for the announcement of that write. Our own contents are served from memory for as
// long as they stay the selection. Where the compositor offers it (data control version 2), the
// seat's primary selection is read and set the same way, apart from the clipboard.
class WaylandDataControlPasteboard : public QObject, public Pasteboard {
    Q_OBJECT
public:
    // How long another owner may take to hand over one type's bytes.
    static constexpr int readTimeoutMilliseconds = 1000;
    // A type larger than this is not read whole (the replacement saves no more than this in all).
    static constexpr qint64 largestRead = 33'554'432;

    // Nothing when the compositor offers no data control or no seat.
    static std::unique_ptr<WaylandDataControlPasteboard> create(std::shared_ptr<WaylandConnection> connection);
    ~WaylandDataControlPasteboard() override;

    qint64 changeCount() override;
    qsizetype itemCount() override;
    QStringList itemTypes(qsizetype item) override;
    std::optional<QByteArray> data(qsizetype item, const QString& type) override;
    QStringList types() override;
    qint64 clearContents() override;
    bool writeItems(const QList<PasteboardItem>& items) override;
    // The compositor does not say who reads: every read by another client counts, so a
    // clipboard manager's read can pass for the paste here, and the paste is confirmed in the
    // field itself.
    std::optional<qint64> readsByFocusedApplication() override;
    std::optional<bool> holdsOwnWrite(qint64 changeCount) override;

    // The primary selection: whether the compositor offers it; a count that moves on every new
    // primary selection but our own writes; its contents, every type as its owner gives it
    // (nothing when an owner did not answer within `milliseconds`, an empty item when there is
    // no primary selection); and setting it (an empty item empties it).
    bool offersPrimary() const;
    qint64 primaryChangeCount();
    std::optional<PasteboardItem> primaryContents(int milliseconds);
    bool writePrimary(const PasteboardItem& item);

private:
    struct Offer;
    struct Source;

    WaylandDataControlPasteboard(std::shared_ptr<WaylandConnection> connection, zwlr_data_control_device_v1* device);
    // Our contents, while they are the selection.
    const Source* ownSelection() const;
    void takeSelection(zwlr_data_control_offer_v1* offer, bool primary);
    // Makes `source` the selection or the primary selection (null: empties it); false when
    // someone else's selection replaced it before the compositor confirmed it.
    bool select(std::unique_ptr<Source> source, bool primary = false);
    // One type of an offer's contents, read while the connection's events are handled.
    static std::optional<QByteArray> read(
        WaylandConnection& connection, zwlr_data_control_offer_v1* offer, const QString& type, QDeadlineTimer deadline);
    static void offerType(void* data, zwlr_data_control_offer_v1* offer, const char* type);
    static void announceOffer(void* data, zwlr_data_control_device_v1* device, zwlr_data_control_offer_v1* offer);
    static void announceSelection(void* data, zwlr_data_control_device_v1* device, zwlr_data_control_offer_v1* offer);
    static void finish(void* data, zwlr_data_control_device_v1* device);
    static void announcePrimary(void* data, zwlr_data_control_device_v1* device, zwlr_data_control_offer_v1* offer);
    static void send(void* data, zwlr_data_control_source_v1* source, const char* type, int32_t fd);
    static void cancel(void* data, zwlr_data_control_source_v1* source);

    std::shared_ptr<WaylandConnection> m_connection;
    zwlr_data_control_device_v1* m_device = nullptr;
    // Offers announced and not yet replaced, the selection's among them.
    QList<Offer*> m_offers;
    Offer* m_selection = nullptr;
    Offer* m_primary = nullptr;
    std::unique_ptr<Source> m_source;
    std::unique_ptr<Source> m_primarySource;
    qint64 m_changeCount = 0;
    qint64 m_primaryChangeCount = 0;
    // While our own write waits for the compositor, the selections it announces are ours.
    bool m_writing = false;
    bool m_writingPrimary = false;
};
