#include "Persistence/IdReservation.h"

#include "Utilities/Text.h"
#include "Utilities/Uuid.h"

void IdReservation::reserve(const QString& id)
{
    m_ids.insert(Text::canonical(id));
}

bool IdReservation::contains(const QString& id) const
{
    return m_ids.contains(Text::canonical(id));
}

QString IdReservation::claim(const QString& preferred)
{
    if (contains(preferred))
        return claimFresh();
    reserve(preferred);
    return preferred;
}

QString IdReservation::claimFresh()
{
    QString id = Uuid::generate();
    while (m_ids.contains(id))
        id = Uuid::generate();
    m_ids.insert(id);
    return id;
}
