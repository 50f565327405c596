#include "Models/TriggerNumbering.h"

#include "Utilities/Text.h"

namespace {
QString numbered(const QString& trigger, qint64 number)
{
    return trigger + u'(' + QString::number(number) + u')';
}
} // namespace

TriggerNumbering::TriggerNumbering(const QList<Shortcut>& inUse, const QList<Shortcut>& incoming)
{
    m_inUse.reserve(inUse.size());
    for (const Shortcut& shortcut : inUse)
        m_inUse.insert(Text::canonical(shortcut.trigger));
    m_reserved.reserve(incoming.size());
    for (const Shortcut& shortcut : incoming)
        m_reserved.insert(Text::canonical(shortcut.trigger));
}

bool TriggerNumbering::isFree(const QString& canonicalTrigger) const
{
    return !m_inUse.contains(canonicalTrigger) && !m_reserved.contains(canonicalTrigger);
}

QString TriggerNumbering::claim(const QString& trigger)
{
    const QString key = Text::canonical(trigger);
    if (!m_inUse.contains(key)) {
        m_inUse.insert(key);
        return trigger;
    }
    // "(" never combines with what precedes it, so the numbered form of the canonical
    // trigger is the canonical form of the numbered trigger.
    qint64& number = m_nextNumber[key];
    if (number < 2)
        number = 2;
    while (!isFree(numbered(key, number)))
        ++number;
    const qint64 chosen = number++;
    m_inUse.insert(numbered(key, chosen));
    return numbered(trigger, chosen);
}
