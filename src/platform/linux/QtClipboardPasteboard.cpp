#include "QtClipboardPasteboard.h"

#include "PasteboardTypes.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

QtClipboardPasteboard::QtClipboardPasteboard(QObject* parent)
    : QObject(parent)
{
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !m_writing)
            ++m_changeCount;
    });
}

qint64 QtClipboardPasteboard::changeCount()
{
    return m_changeCount;
}

const QMimeData* QtClipboardPasteboard::contents() const
{
    return QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
}

QStringList QtClipboardPasteboard::formats() const
{
    QStringList result;
    if (const QMimeData* data = contents()) {
        for (const QString& format : data->formats()) {
            if (!PasteboardTypes::isMetaTarget(format))
                result.append(format);
        }
    }
    return result;
}

qsizetype QtClipboardPasteboard::itemCount()
{
    return formats().isEmpty() ? 0 : 1;
}

QStringList QtClipboardPasteboard::itemTypes(qsizetype item)
{
    return item == 0 ? types() : QStringList();
}

QStringList QtClipboardPasteboard::types()
{
    QStringList result;
    for (const QString& format : formats())
        result.append(PasteboardTypes::pasteboardType(format));
    return result;
}

std::optional<QByteArray> QtClipboardPasteboard::data(qsizetype item, const QString& type)
{
    const QString format = PasteboardTypes::mimeType(type);
    const QMimeData* data = contents();
    if (item != 0 || !data || PasteboardTypes::isMetaTarget(format) || !data->formats().contains(format))
        return std::nullopt;
    return data->data(format);
}

qint64 QtClipboardPasteboard::clearContents()
{
    m_writing = true;
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
    m_writing = false;
    return ++m_changeCount;
}

bool QtClipboardPasteboard::writeItems(const QList<PasteboardItem>& items)
{
    if (items.size() > 1)
        return false;
    if (items.isEmpty())
        return true;
    auto* data = new QMimeData;
    for (const auto& [type, bytes] : items.first())
        data->setData(PasteboardTypes::mimeType(type), bytes);
    m_writing = true;
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
    m_writing = false;
    return true;
}
