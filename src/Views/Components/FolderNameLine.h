#pragma once

#include "Models/CustomIcon.h"
#include "Views/Components/ViewStyle.h"

#include <QWidget>
#include <optional>

class ClampedTextLabel;
class FolderIconView;

// One line naming a folder: its icon drawn (FolderIconView, emoji as text) at the text's
// height, then its name on one line, cut with "…" when the column is narrow.
class FolderNameLine : public QWidget {
    Q_OBJECT
public:
    FolderNameLine(int pixelSize, QFont::Weight weight, ThemeColor color, QWidget* parent = nullptr);

    void setFolder(const QString& name, const std::optional<QString>& icon, const QList<CustomIcon>& customIcons);

    QString text() const;
    const std::optional<QString>& icon() const;

private:
    FolderIconView* m_icon;
    ClampedTextLabel* m_name;
};
