#include "PostedKeyLedger.h"

void PostedKeyLedger::expect(bool press, unsigned keyCode)
{
    entries_.append({ press, keyCode, QDeadlineTimer(lifetimeMilliseconds) });
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

bool PostedKeyLedger::claim(bool press, unsigned keyCode)
{
    dropExpired();
    // The server handles XTest requests in order, so our keys come back in the order they were
    // posted; a user's key in between does not match the oldest entry and stays unmarked.
    if (entries_.isEmpty() || entries_.first().press != press || entries_.first().keyCode != keyCode)
        return false;
    entries_.removeFirst();
    return true;
}

void PostedKeyLedger::dropExpired()
{
    while (!entries_.isEmpty() && entries_.first().deadline.hasExpired())
        entries_.removeFirst();
}
