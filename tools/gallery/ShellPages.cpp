// Gallery pages of the popover shell: the window with a screen, a question over it, a toast,
// the storage recovery screen in the situations it meets, and the settings screen.

#include "Gallery.h"
#include "SamplePopover.h"

#include "App/State/AppState.h"
#include "Models/SyncRecord.h"
#include "Models/VelmoraJSON.h"
#include "Persistence/LibraryRecovery.h"
#include "Persistence/LocalStore.h"
#include "Utilities/ToastManager.h"
#include "Views/Components/ConfirmationOverlay.h"
#include "Views/MenuBar/recovery/StorageRecoveryView.h"
#include "Views/MenuBar/shell/MenuBarPopover.h"

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

void withLibrary(const QString& folder)
{
    writeSampleFile(folder, QStringLiteral("data.json"), VelmoraJSON::encode(sampleLibrary()));
}

void withDamagedSettings(const QString& folder)
{
    withLibrary(folder);
    writeSampleFile(folder, QStringLiteral("settings.json"), "{\"theme\": \"dark\", \"fullHeight\": tru");
    writeSampleFile(folder, QStringLiteral("settings.json.backup"), VelmoraJSON::encode(AppSettings::defaults()));
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
    page->state().requestConfirmation(
        {QStringLiteral("Delete 3 items?"), std::nullopt, QStringLiteral("Delete"), std::nullopt, true, {}});
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
        writeSampleFile(folder, QStringLiteral("data.json"), VelmoraJSON::encode(before.data));
        writeSampleFile(folder, QStringLiteral("sync-state.json"), VelmoraJSON::encode(journal));
    });
    clickButton(page->popover()->recoveryView(), QStringLiteral("File details"));
    return page;
}

QWidget* buildRecoveryFailure(Appearance)
{
    auto* page = new SamplePopover([](const QString& folder) {
        writeSampleFile(folder, LibraryRecovery::markerFileName(),
            "{\"version\": 1, \"archiveID\": \"9B2F6E4A-1C3D-4E5F-8A7B-0C1D2E3F4A5B\", \"files\": {}, \"targets\": "
            "{}}");
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
const GalleryPageRegistration recoverySync(
    QStringLiteral("storage-recovery-interrupted-sync"), &buildRecoveryInterruptedSync);
const GalleryPageRegistration settings(QStringLiteral("settings"), &buildSettings);
const GalleryPageRegistration settingsEnd(QStringLiteral("settings-end"), &buildSettingsEnd);
const GalleryPageRegistration settingsKeyboard(QStringLiteral("settings-keyboard"), &buildSettingsKeyboard);
const GalleryPageRegistration settingsClearAll(QStringLiteral("settings-clear-all"), &buildSettingsClearAll);
const GalleryPageRegistration recoveryFailure(QStringLiteral("storage-recovery-failure"), &buildRecoveryFailure);

} // namespace
