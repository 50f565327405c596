#pragma once

#include "Models/Group.h"

#include <QAbstractButton>
#include <QList>
#include <optional>

class QMenu;
class ThemedMenu;

// The folder pull-down of the shortcut form: a glass box captioned "Folder" that shows the
// chosen folder's name and opens a menu of "None" followed by every folder, by name alone
// and in library order (nested folders are listed flat). It only reports the choice; the
// form decides what is chosen and what the box shows.
class FolderMenuButton : public QAbstractButton {
    Q_OBJECT
public:
    static inline const QString noneTitle = QStringLiteral("None");

    explicit FolderMenuButton(QWidget* parent = nullptr);

    // The name shown in the box.
    void setFolderName(const QString& name);
    QString folderName() const { return m_folderName; }
    // The folders the menu offers after "None".
    void setFolders(const QList<Group>& folders);

    QMenu* menu() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // A menu item was chosen: a folder's id, or nothing for "None".
    void folderChosen(const std::optional<QString>& groupId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void openMenu();

    QString m_folderName = noneTitle;
    QList<Group> m_folders;
    ThemedMenu* m_menu;
    bool m_hovered = false;
};
