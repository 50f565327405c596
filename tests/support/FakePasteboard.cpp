#include "FakePasteboard.h"

QStringList FakePasteboard::itemTypes(qsizetype item)
{
    QStringList types;
    for (const auto& [type, data] : m_items.value(item))
        types.append(type);
    return types;
}

std::optional<QByteArray> FakePasteboard::data(qsizetype item, const QString& type)
{
    // The hook may replace itself while it runs.
    if (const std::function<void()> onRead = m_onRead)
        onRead();
    if (type == m_unreadableType)
        return std::nullopt;
    for (const auto& [itemType, data] : m_items.value(item)) {
        if (itemType == type)
            return data;
    }
    return std::nullopt;
}

QStringList FakePasteboard::types()
{
    QStringList types = m_announcedTypes;
    for (qsizetype item = 0; item < m_items.size(); ++item)
        types.append(itemTypes(item));
    return types;
}

qint64 FakePasteboard::clearContents()
{
    m_ours = true;
    m_reads = 0;
    m_items.clear();
    m_announcedTypes.clear();
    return ++m_changeCount;
}

bool FakePasteboard::writeItems(const QList<PasteboardItem>& items)
{
    ++m_writes;
    if (m_refusesWrites)
        return false;
    m_items = items;
    m_ours = true;
    m_reads = 0;
    if (!m_addedType.isEmpty()) {
        for (PasteboardItem& item : m_items)
            item.append({m_addedType, QByteArray("added")});
    }
    if (m_afterWrite)
        m_afterWrite();
    return true;
}

void FakePasteboard::copyFromOtherApplication(const QList<PasteboardItem>& items)
{
    m_items = items;
    m_announcedTypes.clear();
    m_ours = false;
    ++m_changeCount;
}

void FakePasteboard::copyTextFromOtherApplication(const QString& text)
{
    copyFromOtherApplication({PasteboardItem{{QStringLiteral("text/plain;charset=utf-8"), text.toUtf8()}}});
}

QString FakePasteboard::plainText() const
{
    for (const auto& [type, data] : m_items.value(0)) {
        if (type == QStringLiteral("text/plain;charset=utf-8"))
            return QString::fromUtf8(data);
    }
    return QString();
}

QString FakePasteboard::pasteIntoOtherApplication()
{
    ++m_reads;
    return plainText();
}

std::optional<qint64> FakePasteboard::readsByFocusedApplication()
{
    return m_tracksReads ? std::optional<qint64>(m_reads) : std::nullopt;
}
