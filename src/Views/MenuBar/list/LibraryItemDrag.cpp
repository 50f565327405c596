#include "Views/MenuBar/list/LibraryItemDrag.h"

#include <QMimeData>

namespace LibraryItemDrag {

QString payload(const QList<QString>& ids)
{
    return QStringList(ids).join(QLatin1Char('\n'));
}

QMimeData* mimeData(const QList<QString>& ids)
{
    auto* data = new QMimeData;
    const QString text = payload(ids);
    data->setText(text);
    data->setData(QString::fromLatin1(mimeType), text.toUtf8());
    return data;
}

bool carriesItems(const QMimeData* data)
{
    return data && data->hasFormat(QString::fromLatin1(mimeType));
}

QStringList itemIds(const QMimeData* data)
{
    if (!carriesItems(data))
        return {};
    return QString::fromUtf8(data->data(QString::fromLatin1(mimeType))).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace LibraryItemDrag
