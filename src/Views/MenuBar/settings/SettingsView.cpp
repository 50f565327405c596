#include "Views/MenuBar/settings/SettingsView.h"

#include "App/State/AppState.h"
#include "Persistence/FileIO.h"
#include "Persistence/LibraryImportFile.h"
#include "Persistence/LibraryImportPlan.h"
#include "Persistence/LocalStore.h"
#include "Persistence/PromptTextImport.h"
#include "Services/TutorialManager.h"
#include "Utilities/Clock.h"
#include "Utilities/Scheduler.h"
#include "Utilities/Theme.h"
#include "Utilities/ToastManager.h"
#include "Views/Components/DialogFilePanels.h"
#include "Views/Components/GlassComponents.h"
#include "Views/Components/OverlayScrollArea.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/MenuBar/settings/SettingsActionRow.h"
#include "Views/MenuBar/settings/SettingsCard.h"
#include "Views/MenuBar/settings/SettingsToggleRow.h"
#include "Views/MenuBar/settings/ThemeSelector.h"
#include "platform/PlainTextClipboard.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

const QString createdBy = QStringLiteral("The Velmora team");
const QString logoBy = QStringLiteral("Velmora design studio");

void toast(const QString& message)
{
    ToastManager::shared().show(message, ToastManager::standardDuration);
}

enum class ImportSource { file, clipboard };

struct ImportCounts {
    qint64 shortcuts = 0;
    qint64 groups = 0;
    qint64 icons = 0;
    qint64 unchanged = 0;
};

QString importMessage(const ImportCounts& counts, const QList<PromptTextImport::RenamedTrigger>& renamed)
{
    QString message = QStringLiteral("Add %1 shortcuts and %2 new folders. Your existing shortcuts stay unchanged.")
                          .arg(counts.shortcuts)
                          .arg(counts.groups);
    if (counts.icons > 0)
        message += QStringLiteral(" Includes %1 custom icons.").arg(counts.icons);
    if (counts.unchanged >= 1)
        message += QStringLiteral(" %1 unchanged shortcuts are already saved.").arg(counts.unchanged);
    if (!renamed.isEmpty()) {
        message += QStringLiteral(" %1 conflicting triggers will get a number, such as %2 \u2192 %3.")
                       .arg(renamed.size())
                       .arg(renamed.first().original, renamed.first().imported);
    }
    return message;
}

// Asks before an import. The answer runs against the state alone: the screen that asked may
// be gone by then. The library must still be the one the preview was made from.
void reviewImport(AppState& state, const UserData& library, const UserData& expected, ImportSource source,
    const ImportCounts& counts, const QList<PromptTextImport::RenamedTrigger>& renamed)
{
    AppState* target = &state;
    const qint64 added = counts.shortcuts;
    state.requestConfirmation({
        source == ImportSource::file ? QStringLiteral("Import from file?") : QStringLiteral("Import from clipboard?"),
        importMessage(counts, renamed),
        QStringLiteral("Import"),
        QStringLiteral("square.and.arrow.down"),
        false,
        [target, library, expected, added] {
            switch (target->applyImport(library, expected)) {
            case AppState::ImportOutcome::imported:
                toast(QStringLiteral("Imported %1 shortcut%2")
                          .arg(added)
                          .arg(added == 1 ? QString() : QStringLiteral("s")));
                break;
            case AppState::ImportOutcome::libraryChanged:
                toast(QStringLiteral("Your library changed. Start the import again."));
                break;
            case AppState::ImportOutcome::notConfirmed:
                toast(QStringLiteral("Import could not be confirmed. Check the library before importing again."));
                break;
            }
        },
    });
}

void importLibraryFile(AppState& state, const QString& path)
{
    const UserData current = state.userData();
    LibraryImportPlan plan;
    try {
        plan = LibraryImportPlan::merge(LibraryImportFile::read(path), current);
    } catch (const VelmoraError& error) {
        toast(QStringLiteral("Import failed: ") + error.errorDescription());
        return;
    }
    if (plan.addedShortcutCount + plan.addedGroupCount + plan.addedIconCount < 1) {
        toast(QStringLiteral("These shortcuts are already in your library"));
        return;
    }
    reviewImport(state, plan.library, current, ImportSource::file,
        {plan.addedShortcutCount, plan.addedGroupCount, plan.addedIconCount, plan.unchangedShortcutCount},
        plan.renamedTriggers);
}

void writeExport(AppState& state, const QString& text, const QString& path)
{
    try {
        FileIO::writeAtomically(text.toUtf8(), path, FileIO::Access::standard);
    } catch (const VelmoraError& error) {
        toast(QStringLiteral("Export failed: ") + error.errorDescription());
        return;
    }
    state.setFirstUseFlag(QStringLiteral("discovery_export"));
    toast(QStringLiteral("Exported"));
}

ThemedLabel* sectionTitle(const QString& title)
{
    auto* label = new ThemedLabel(title, 13, QFont::Medium, &Theme::textSecondary);
    label->setHeading(true);
    return label;
}

} // namespace

SettingsView::SettingsView(AppState& appState, ScreenBinding screen, std::function<void()> quit, QWidget* parent)
    : QWidget(parent)
    , m_appState(appState)
    , m_screen(std::move(screen))
    , m_quit(std::move(quit))
    , m_dialogs(std::make_unique<DialogFilePanels>(this))
    , m_panels(m_dialogs.get())
    , m_openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); })
    , m_header(screenHeader(
          QStringLiteral("Settings"), [this] { m_screen.set(PopoverScreen::main()); }, this))
{
    setObjectName(QStringLiteral("SettingsView"));
    auto* scroll = new OverlayScrollArea(this);
    scroll->setContent(buildContent());

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(m_header);
    root->addWidget(scroll, 1);

    observeNow(&m_appState, &AppState::settingsChanged, this, [this] { refresh(); });
}

SettingsView::~SettingsView() = default;

void SettingsView::setFilePanels(FilePanels* panels)
{
    m_panels = panels ? panels : m_dialogs.get();
}

void SettingsView::setUrlOpener(UrlOpener opener)
{
    m_openUrl = std::move(opener);
}

QWidget* SettingsView::buildContent()
{
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(18, 0, 18, 0);
    column->setSpacing(0);
    const auto section = [column](const QString& title, SettingsCard* card) {
        column->addSpacing(14);
        column->addWidget(sectionTitle(title));
        column->addSpacing(8);
        column->addWidget(card);
    };

    auto* appearance = new SettingsCard;
    auto* themeRow = new QWidget;
    auto* themeLayout = new QHBoxLayout(themeRow);
    themeLayout->setContentsMargins(16, 9, 16, 9);
    themeLayout->addWidget(new ThemedLabel(QStringLiteral("Theme"), 13, QFont::Normal, &Theme::text));
    themeLayout->addStretch(1);
    m_themeSelector = new ThemeSelector;
    themeLayout->addWidget(m_themeSelector);
    connect(m_themeSelector, &ThemeSelector::themeChosen, this,
        [this](const QString& theme) { change([theme](AppSettings& s) { s.theme = theme; }); });
    appearance->addRow(themeRow);
    section(QStringLiteral("Appearance"), appearance);

    auto* behavior = new SettingsCard;
    behavior->addRow(settingsToggle(QStringLiteral("Show full expansion"), &AppSettings::expandText));
    behavior->addRow(settingsToggle(QStringLiteral("Confirm before delete"), &AppSettings::confirmDelete));
    behavior->addRow(settingsToggle(QStringLiteral("Copy on click"), &AppSettings::copyOnClick));
    behavior->addRow(settingsToggle(QStringLiteral("Time-saved animation"), &AppSettings::showTimeSavedAnimation));
    behavior->addRow(settingsToggle(QStringLiteral("Achievement notifications"), &AppSettings::showAchievementToast));
    behavior->addRow(settingsToggle(QStringLiteral("Launch at login"), &AppSettings::launchAtLogin));
    section(QStringLiteral("Behavior"), behavior);

    auto* data = new SettingsCard;
    data->addRow(settingsAction(
        QStringLiteral("Export data"), QStringLiteral("square.and.arrow.up"), &SettingsView::exportJSON));
    data->addRow(settingsAction(
        QStringLiteral("Import from file"), QStringLiteral("square.and.arrow.down"), &SettingsView::importJSON));
    data->addRow(settingsAction(
        QStringLiteral("Import from clipboard"), QStringLiteral("doc.on.clipboard"), &SettingsView::importFromText));
    data->addRow(
        settingsDangerAction(QStringLiteral("Clear all data"), QStringLiteral("trash"), &SettingsView::clearAllData));
    section(QStringLiteral("Data"), data);

    auto* about = new SettingsCard;
    about->addRow(settingsAction(
        QStringLiteral("Reset to defaults"), QStringLiteral("arrow.counterclockwise"), &SettingsView::resetToDefaults));
    about->addRow(settingsAction(
        QStringLiteral("Replay tutorial"), QStringLiteral("play.circle"), &SettingsView::replayTutorial));
    about->addRow(settingsAction(
        QStringLiteral("Privacy policy"), QStringLiteral("hand.raised"), &SettingsView::openPrivacyPolicy));
    about->addRow(settingsInfoRow(QStringLiteral("Created by"), createdBy));
    about->addRow(settingsInfoRow(QStringLiteral("Logo by"), logoBy));
    auto* version
        = new ThemedLabel(versionLabel(QStringLiteral(VELMORA_VERSION)), 12, QFont::Normal, &Theme::textMuted);
    version->setAlignment(Qt::AlignCenter);
    version->setContentsMargins(0, 14, 0, 14);
    about->addRow(version);
    section(QStringLiteral("About"), about);

    auto* quitButton
        = new SettingsActionRow(SettingsActionRow::Kind::quit, QStringLiteral("Quit Velmora"), QStringLiteral("power"));
    connect(quitButton, &QAbstractButton::clicked, this, [this] {
        if (m_quit)
            m_quit();
    });
    column->addSpacing(16);
    column->addWidget(quitButton);
    column->addSpacing(18);
    column->addStretch(1);
    return content;
}

SettingsToggleRow* SettingsView::settingsToggle(const QString& label, bool AppSettings::*field)
{
    auto* row = new SettingsToggleRow(label);
    connect(row, &QAbstractButton::clicked, this,
        [this, field](bool on) { change([field, on](AppSettings& s) { s.*field = on; }); });
    m_toggles.append(row);
    m_toggleFields.append(field);
    return row;
}

SettingsActionRow* SettingsView::settingsAction(
    const QString& title, const QString& symbol, void (SettingsView::*action)())
{
    return actionRow(SettingsActionRow::Kind::action, title, symbol, action);
}

SettingsActionRow* SettingsView::settingsDangerAction(
    const QString& title, const QString& symbol, void (SettingsView::*action)())
{
    return actionRow(SettingsActionRow::Kind::danger, title, symbol, action);
}

SettingsActionRow* SettingsView::actionRow(
    SettingsActionRow::Kind kind, const QString& title, const QString& symbol, void (SettingsView::*action)())
{
    auto* row = new SettingsActionRow(kind, title, symbol);
    connect(row, &QAbstractButton::clicked, this, action);
    return row;
}

QWidget* SettingsView::settingsInfoRow(const QString& label, const QString& value)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->setSpacing(12);
    layout->addWidget(new ThemedLabel(label, 13, QFont::Normal, &Theme::text), 0, Qt::AlignTop);
    auto* shown = new ThemedLabel(value, 13, QFont::Normal, &Theme::textSecondary);
    shown->setWordWrap(true);
    shown->setAlignment(Qt::AlignRight | Qt::AlignTop);
    layout->addWidget(shown, 1);
    return row;
}

void SettingsView::refresh()
{
    const AppSettings& settings = m_appState.settings();
    m_themeSelector->setSelectedTheme(settings.theme);
    for (qsizetype i = 0; i < m_toggles.size(); ++i)
        m_toggles[i]->setChecked(settings.*m_toggleFields[i]);
}

void SettingsView::change(const std::function<void(AppSettings&)>& change)
{
    m_appState.updateSettings(change);
    // A refused change published nothing; the rows go back to what is stored.
    refresh();
}

void SettingsView::resetToDefaults()
{
    change([](AppSettings& s) { s = AppSettings::defaults(); });
    if (m_appState.storageReady())
        toast(QStringLiteral("Settings reset"));
}

void SettingsView::replayTutorial()
{
    m_screen.set(PopoverScreen::main());
    // This screen is being replaced: the start is scheduled on the tutorial itself.
    TutorialManager::shared().startAfter(tutorialStartDelay);
}

void SettingsView::openPrivacyPolicy()
{
    const QUrl url(privacyPolicyAddress, QUrl::StrictMode);
    if (url.isValid() && m_openUrl)
        m_openUrl(url);
}

QString SettingsView::exportFileName(const QDate& day)
{
    return QStringLiteral("velmora-backup-") + day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".json");
}

QString SettingsView::versionLabel(const QString& version)
{
    return version.isEmpty() ? QStringLiteral("Velmora for Linux") : QStringLiteral("Velmora ") + version;
}

bool SettingsView::importAllowed() const
{
    return m_appState.storageReady() && m_appState.store().isReady();
}

void SettingsView::exportJSON()
{
    const std::optional<QString> text = m_appState.store().exportJSON();
    if (!text)
        return;
    const QDate today = Clock::current().now().toTimeZone(Clock::current().timeZone()).date();
    AppState* state = &m_appState;
    m_panels->chooseSaveLocation(
        exportFileName(today), [state, text = *text](const QString& path) { writeExport(*state, text, path); });
}

void SettingsView::importJSON()
{
    if (!importAllowed()) {
        toast(QStringLiteral("Resolve the library issue before importing"));
        return;
    }
    AppState* state = &m_appState;
    m_panels->chooseFileToOpen([state](const QString& path) { importLibraryFile(*state, path); });
}

void SettingsView::importFromText()
{
    if (!importAllowed()) {
        toast(QStringLiteral("Resolve the library issue before importing"));
        return;
    }
    const PlainTextClipboard* clipboard = m_appState.clipboard();
    const std::optional<QString> text = clipboard ? clipboard->text() : std::nullopt;
    if (!text) {
        toast(QStringLiteral("Nothing in clipboard"));
        return;
    }
    const UserData current = m_appState.userData();
    PromptTextImport::Plan plan;
    try {
        plan = PromptTextImport::plan(PromptTextImport::parse(*text), current);
    } catch (const VelmoraError& error) {
        toast(error.errorDescription());
        return;
    }
    if (plan.addedShortcutCount + plan.addedGroupCount < 1) {
        toast(QStringLiteral("These shortcuts are already in your library"));
        return;
    }
    reviewImport(m_appState, plan.library, current, ImportSource::clipboard,
        {plan.addedShortcutCount, plan.addedGroupCount, 0, 0}, plan.renamedTriggers);
}

void SettingsView::clearAllData()
{
    if (m_appState.isSignedIn()) {
        toast(QStringLiteral("Sign out before clearing local data"));
        return;
    }
    AppState* state = &m_appState;
    m_appState.requestConfirmation({
        QStringLiteral("Clear all data?"),
        QStringLiteral("Clear the shortcuts, folders and stats on this computer? The previous saved files will be "
                       "kept as backups."),
        QStringLiteral("Clear all"),
        QStringLiteral("trash"),
        true,
        [state] {
            switch (state->clearAllData()) {
            case AppState::ClearOutcome::cleared: toast(QStringLiteral("All data cleared")); break;
            case AppState::ClearOutcome::backupFailed:
                toast(QStringLiteral("Couldn't keep a copy of your files, so nothing was cleared."));
                break;
            case AppState::ClearOutcome::refused:
            case AppState::ClearOutcome::libraryNotCleared:
            case AppState::ClearOutcome::statisticsNotCleared: break;
            }
        },
    });
}
