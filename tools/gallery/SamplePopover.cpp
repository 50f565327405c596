// The shared sample popover of the gallery pages.

#include "SamplePopover.h"

#include "Models/VelmoraJSON.h"

#include <QDir>
#include <QSaveFile>
#include <QVBoxLayout>

void writeSampleFile(const QString& folder, const QString& name, const QByteArray& bytes)
{
    QSaveFile file(QDir(folder).filePath(name));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
        file.commit();
    }
}

UserData sampleLibrary()
{
    UserData library = UserData::empty();
    const auto folder = [&](const QString& id, const QString& name, const QString& color) {
        Group group;
        group.id = id;
        group.name = name;
        group.color = color;
        group.order = library.groups.size();
        library.groups.append(group);
    };
    const auto shortcut = [&](const QString& trigger, const QString& expansion) {
        Shortcut item;
        item.id = QStringLiteral("S%1").arg(library.shortcuts.size() + 1);
        item.trigger = trigger;
        item.expansion = expansion;
        item.order = library.shortcuts.size();
        library.shortcuts.append(item);
    };
    folder(QStringLiteral("F1"), QStringLiteral("Work"), QStringLiteral("#E2725B"));
    folder(QStringLiteral("F2"), QStringLiteral("Support replies"), QStringLiteral("#5B8DEF"));
    shortcut(QStringLiteral("/sig"), QStringLiteral("Best regards,\nAlex Morgan"));
    shortcut(QStringLiteral("/addr"), QStringLiteral("221B Baker Street, London"));
    shortcut(QStringLiteral("/mtg"), QStringLiteral("Could we find 30 minutes this week to go over it together?"));
    return library;
}

SamplePopover::SamplePopover(const std::function<void(const QString& folder)>& prepare, const PopoverScreen& screen)
{
    prepare(m_folder.path());
    m_store = std::make_unique<LocalStore>(m_folder.path());
    m_state = std::make_unique<AppState>(*m_store);
    m_popover = new MenuBarPopover(
        *m_state, screen, [] {}, this, &m_toast);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_popover);
    setFixedSize(m_popover->size());
}

SamplePopover::~SamplePopover()
{
    delete m_popover;
}
