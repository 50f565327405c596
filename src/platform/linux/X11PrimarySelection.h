#pragma once

#include "platform/PrimarySelection.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <optional>
#include <utility>

class QSocketNotifier;
union _XEvent;

typedef struct _XDisplay Display;
typedef unsigned long XID;

// PRIMARY through a connection of its own for another owner's text, read with a short bound
// (a silent owner costs at most that), and through QClipboard for this process's own
// selection and for putting a selection back. Qt takes a selection with the time of the last
// event it saw, which the server refuses when the field took the selection later: the text is
// then offered from our own connection, with a time fresh from the server.
class X11PrimarySelection final : public PrimarySelection {
public:
    // The longest an owner may take to hand over its text.
    static constexpr int readMilliseconds = 50;

    X11PrimarySelection();
    ~X11PrimarySelection() override;
    X11PrimarySelection(const X11PrimarySelection&) = delete;
    X11PrimarySelection& operator=(const X11PrimarySelection&) = delete;

    void save() override;
    void restore() override;

private:
    bool open();
    XID owner() const;
    std::optional<QByteArray> readText();
    // The server's time now; 0 when it did not say within the read bound.
    unsigned long serverTime();
    bool offerOurselves(const QList<std::pair<QString, QByteArray>>& contents);
    void answerRequests();
    void answer(const _XEvent& request);

    Display* m_display = nullptr;
    XID m_window = 0;
    // The owner and contents save() found; no owner: nothing to put back.
    XID m_owner = 0;
    QList<std::pair<QString, QByteArray>> m_saved;
    // The text we offer ourselves, and since when; empty once another owner took it.
    QByteArray m_offered;
    unsigned long m_offeredAt = 0;
    std::unique_ptr<QSocketNotifier> m_requests;
};
