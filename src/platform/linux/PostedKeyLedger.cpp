#include "PostedKeyLedger.h"

void PostedKeyLedger::expect(bool press, unsigned keyCode, quint64 userData)
{
    m_entries.append({press, keyCode, userData, QDeadlineTimer(lifetimeMilliseconds)});
}

void PostedKeyLedger::forget(bool press, unsigned keyCode)
{
    for (qsizetype i = m_entries.size() - 1; i >= 0; --i) {
        if (m_entries.at(i).press == press && m_entries.at(i).keyCode == keyCode) {
            m_entries.removeAt(i);
            return;
        }
    }
}

std::optional<quint64> PostedKeyLedger::claim(bool press, unsigned keyCode)
{
    dropExpired();
    // The server handles XTest requests in order, so our keys come back in the order they were
    // posted; a user's key in between does not match the oldest entry and stays unmarked.
    if (m_entries.isEmpty() || m_entries.first().press != press || m_entries.first().keyCode != keyCode)
        return std::nullopt;
    return m_entries.takeFirst().userData;
}

void PostedKeyLedger::dropExpired()
{
    while (!m_entries.isEmpty() && m_entries.first().deadline.hasExpired())
        m_entries.removeFirst();
}
