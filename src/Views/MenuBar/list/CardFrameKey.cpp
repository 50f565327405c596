#include "Views/MenuBar/list/CardFrameKey.h"

#include <QHash>

void CardFrameKey::reduce(Value& value, const Value& next)
{
    QHash<QString, qsizetype> position;
    position.reserve(value.size() + next.size());
    for (qsizetype i = 0; i < value.size(); ++i)
        position.insert(value[i].id, i);
    for (const Entry& entry : next) {
        const auto found = position.constFind(entry.id);
        if (found != position.constEnd()) {
            value[*found].frame = entry.frame;
        } else {
            position.insert(entry.id, value.size());
            value.append(entry);
        }
    }
}
