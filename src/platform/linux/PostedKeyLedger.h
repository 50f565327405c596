#pragma once

#include <QDeadlineTimer>
#include <QList>

// XTest events carry nothing that tells them apart from a user's keys, and RECORD reports them
// like any other. The key simulator writes down here what it is about to post; the event source
// claims each recorded key against the list, in order, and reports the claimed ones as marked.
class PostedKeyLedger {
public:
    // How long a posted key may take to come back through RECORD before it is forgotten.
    static constexpr int lifetimeMilliseconds = 1000;

    void expect(bool press, unsigned keyCode);
    void forget(bool press, unsigned keyCode);
    // True when the event is the oldest key still expected; it is then taken off the list.
    bool claim(bool press, unsigned keyCode);
    bool isEmpty() const { return entries_.isEmpty(); }

private:
    struct Entry {
        bool press;
        unsigned keyCode;
        QDeadlineTimer deadline;
    };
    void dropExpired();

    QList<Entry> entries_;
};
