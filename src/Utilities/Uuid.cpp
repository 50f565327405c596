#include "Utilities/Uuid.h"

namespace Uuid {

QString text(const QUuid& uuid)
{
    return uuid.toString(QUuid::WithoutBraces).toUpper();
}

QString generate()
{
    return text(QUuid::createUuid());
}

std::optional<QUuid> parse(const QString& value)
{
    if (value.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < 36; ++i) {
        const QChar c = value.at(i);
        const bool dash = (i == 8 || i == 13 || i == 18 || i == 23);
        if (dash) {
            if (c != u'-')
                return std::nullopt;
        } else if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))) {
            return std::nullopt;
        }
    }
    const QUuid uuid = QUuid::fromString(value);
    if (uuid.isNull() && value != QStringLiteral("00000000-0000-0000-0000-000000000000"))
        return std::nullopt;
    return uuid;
}

} // namespace Uuid
