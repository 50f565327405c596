// Gallery pages of the popover shell: the window with a screen, a question over it, a toast,
// the storage recovery screen in the situations it meets, and the settings screen.

#include "Gallery.h"

#include "App/AppState.h"
#include "Models/SyncRecord.h"
#include "Persistence/LibraryRecovery.h"
#include "Persistence/LocalStore.h"
#include "Models/VelmoraJSON.h"
#include "Utilities/ToastManager.h"
#include "Views/MenuBar/shell/ConfirmationOverlay.h"
#include "Views/MenuBar/shell/MenuBarPopover.h"
#include "Views/MenuBar/recovery/StorageRecoveryView.h"

#include <QAbstractButton>
#include <QDir>
#include <QSaveFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>
#include <memory>

namespace {

void write(const QString& folder, const QString& name, const QByteArray& bytes)
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

// A popover over its own store in a private temporary folder, which `prepare` fills first.
class SamplePopover : public QWidget {
public:
    explicit SamplePopover(const std::function<void(const QString& folder)>& prepare)
    {
        prepare(m_folder.path());
        m_store = std::make_unique<LocalStore>(m_folder.path());
        m_state = std::make_unique<AppState>(*m_store);
        m_popover = new MenuBarPopover(
            *m_state, PopoverScreen::main(), [] {}, this, &m_toast);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(m_popover);
        setFixedSize(m_popover->size());
    }
    ~SamplePopover() override { delete m_popover; }

    AppState& state() { return *m_state; }
    ToastManager& toast() { return m_toast; }
    MenuBarPopover* popover() const { return m_popover; }

private:
    QTemporaryDir m_folder;
    ToastManager m_toast;
    std::unique_ptr<LocalStore> m_store;
    std::unique_ptr<AppState> m_state;
    MenuBarPopover* m_popover;
};

void withLibrary(const QString& folder)
{
    write(folder, QStringLiteral("data.json"), VelmoraJSON::encode(sampleLibrary()));
}

void withDamagedSettings(const QString& folder)
{
    withLibrary(folder);
    write(folder, QStringLiteral("settings.json"), "{\"theme\": \"dark\", \"fullHeight\": tru");
    write(folder, QStringLiteral("settings.json.backup"), VelmoraJSON::encode(AppSettings::defaults()));
}

void clickButton(QWidget* root, const QString& text)
{
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>())
        if (button->text() == text && button->isVisibleTo(root)) {
            button->click();
            return;
        }
}

QWidget* buildShell(Appearance)
{
    return new SamplePopover(&withLibrary);
}

QWidget* buildConfirmation(Appearance)
{
    auto* page = new SamplePopover(&withLibrary);
    page->state().deleteShortcut(QStringLiteral("S1"));
    return page;
}

QWidget* buildPlainConfirmation(Appearance)
{
    auto* page = new SamplePopover(&withLibrary);
    page->state().requestConfirmation({QStringLiteral("Delete 3 items?"), std::nullopt, QStringLiteral("Delete"),
        std::nullopt, true, {}});
    return page;
}

QWidget* buildToast(Appearance)
{
    auto* page = new SamplePopover(&withLibrary);
    page->toast().show(QStringLiteral("Copied"));
    return page;
}

QWidget* buildLongToast(Appearance)
{
    auto* page = new SamplePopover(&withLibrary);
    page->toast().show(QStringLiteral("Library contains a missing parent or circular folder relationship."));
    return page;
}

QWidget* buildRecovery(Appearance)
{
    auto* page = new SamplePopover(&withDamagedSettings);
    clickButton(page->popover()->recoveryView(), QStringLiteral("File details"));
    return page;
}

QWidget* buildRecoveryQuestion(Appearance)
{
    auto* page = new SamplePopover(&withDamagedSettings);
    clickButton(page->popover()->recoveryView(), QStringLiteral("Restore settings backup"));
    return page;
}

QWidget* buildRecoveryInterruptedSync(Appearance)
{
    auto* page = new SamplePopover([](const QString& folder) {
        const SyncSnapshot before{sampleLibrary(), AppSettings::defaults(), Stats::empty()};
        SyncRecord journal;
        journal.pending = SyncLocalTransaction{before, before};
        write(folder, QStringLiteral("data.json"), VelmoraJSON::encode(before.data));
        write(folder, QStringLiteral("sync-state.json"), VelmoraJSON::encode(journal));
    });
    clickButton(page->popover()->recoveryView(), QStringLiteral("File details"));
    return page;
}

QWidget* buildRecoveryFailure(Appearance)
{
    auto* page = new SamplePopover([](const QString& folder) {
        write(folder, LibraryRecovery::markerFileName(),
            "{\"version\": 1, \"archiveID\": \"9B2F6E4A-1C3D-4E5F-8A7B-0C1D2E3F4A5B\", \"files\": {}, \"targets\": {}}");
    });
    StorageRecoveryView* recovery = page->popover()->recoveryView();
    clickButton(recovery, QStringLiteral("Continue fresh start"));
    recovery->questionOverlay()->confirmButton()->click();
    clickButton(recovery, QStringLiteral("File details"));
    return page;
}

QWidget* buildSettings(Appearance)
{
    auto* page = new SamplePopover(&withLibrary);
    page->popover()->setScreen(PopoverScreen::settings());
    return page;
}

// The end of the settings screen: About and Quit. Scrolled once the page is laid out.
QWidget* buildSettingsEnd(Appearance)
{
    auto* page = new SamplePopover(&withLibrary);
    page->popover()->setScreen(PopoverScreen::settings());
    QTimer::singleShot(0, page, [page] {
        if (auto* scroll = page->popover()->currentScreenWidget()->findChild<QScrollArea*>())
            scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    });
    return page;
}

// Keyboard focus on a switch, as reached with Tab.
QWidget* buildSettingsKeyboard(Appearance)
{
    auto* page = new SamplePopover(&withLibrary);
    page->popover()->setScreen(PopoverScreen::settings());
    for (QAbstractButton* button : page->popover()->currentScreenWidget()->findChildren<QAbstractButton*>()) {
        if (button->text() == QStringLiteral("Copy on click"))
            galleryFocus(button, true);
    }
    return page;
}

QWidget* buildSettingsClearAll(Appearance)
{
    auto* page = new SamplePopover(&withLibrary);
    page->popover()->setScreen(PopoverScreen::settings());
    clickButton(page->popover()->currentScreenWidget(), QStringLiteral("Clear all data"));
    return page;
}

const GalleryPageRegistration shell(QStringLiteral("popover-shell"), &buildShell);
const GalleryPageRegistration confirmation(QStringLiteral("popover-confirmation"), &buildConfirmation);
const GalleryPageRegistration plainConfirmation(QStringLiteral("popover-confirmation-plain"), &buildPlainConfirmation);
const GalleryPageRegistration toast(QStringLiteral("popover-toast"), &buildToast);
const GalleryPageRegistration longToast(QStringLiteral("popover-toast-long"), &buildLongToast);
const GalleryPageRegistration recovery(QStringLiteral("storage-recovery"), &buildRecovery);
const GalleryPageRegistration recoveryQuestion(QStringLiteral("storage-recovery-question"), &buildRecoveryQuestion);
const GalleryPageRegistration recoverySync(QStringLiteral("storage-recovery-interrupted-sync"), &buildRecoveryInterruptedSync);
const GalleryPageRegistration settings(QStringLiteral("settings"), &buildSettings);
const GalleryPageRegistration settingsEnd(QStringLiteral("settings-end"), &buildSettingsEnd);
const GalleryPageRegistration settingsKeyboard(QStringLiteral("settings-keyboard"), &buildSettingsKeyboard);
const GalleryPageRegistration settingsClearAll(QStringLiteral("settings-clear-all"), &buildSettingsClearAll);
const GalleryPageRegistration recoveryFailure(QStringLiteral("storage-recovery-failure"), &buildRecoveryFailure);

} // namespace
