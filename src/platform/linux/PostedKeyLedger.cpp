#include "PostedKeyLedger.h"

void PostedKeyLedger::expect(bool press, unsigned keyCode, quint64 userData)
{
    entries_.append({ press, keyCode, userData, QDeadlineTimer(lifetimeMilliseconds) });
}

void PostedKeyLedger::forget(bool press, unsigned keyCode)
{
    for (qsizetype i = entries_.size() - 1; i >= 0; --i) {
        if (entries_.at(i).press == press && entries_.at(i).keyCode == keyCode) {
            entries_.removeAt(i);
            return;
        }
    }
}

std::optional<quint64> PostedKeyLedger::claim(bool press, unsigned keyCode)
{
    dropExpired();
    // The server handles XTest requests in order, so our keys come back in the order they were
    // posted; a user's key in between does not match the oldest entry and stays unmarked.
    if (entries_.isEmpty() || entries_.first().press != press || entries_.first().keyCode != keyCode)
        return std::nullopt;
    return entries_.takeFirst().userData;
}

void PostedKeyLedger::dropExpired()
{
    while (!entries_.isEmpty() && entries_.first().deadline.hasExpired())
        entries_.removeFirst();
}
