#pragma once

#include <QDeadlineTimer>
#include <QList>
#include <optional>

// XTest events carry nothing that tells them apart from a user's keys, and RECORD reports them
// like any other. The keyboard poster writes down here what it is about to post, with the user
// data of the synthetic event each key belongs to; the event source claims every recorded key
// against the list and reports the claimed ones with that user data.
class PostedKeyLedger {
public:
    // How long a posted key may take to come back through RECORD before it is forgotten.
    static constexpr int lifetimeMilliseconds = 1000;
    // The user data of a key the user typed while keys were held, typed again on release:
    // it is the user's typing, reported with user data 0.
    static constexpr quint64 heldKeyTypedAgain = 0x48454C44; // "HELD"

    void expect(bool press, unsigned keyCode, quint64 userData);
    // Takes back the newest matching entry (for a key the server turned out to ignore).
    void forget(bool press, unsigned keyCode);
    // The user data when the event is the oldest key still expected, which is then taken off
    // the list; nothing for every other event.
    std::optional<quint64> claim(bool press, unsigned keyCode);
    bool isEmpty() const { return m_entries.isEmpty(); }

private:
    struct Entry {
        bool press;
        unsigned keyCode;
        quint64 userData;
        QDeadlineTimer deadline;
    };
    void dropExpired();

    QList<Entry> m_entries;
};
