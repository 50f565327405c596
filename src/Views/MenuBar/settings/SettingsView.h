#pragma once

#include "Models/AppSettings.h"
#include "Views/MenuBar/screen/ScreenBinding.h"
#include "Views/MenuBar/settings/SettingsActionRow.h"

#include <QDate>
#include <QList>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>

class AppState;
class FilePanels;
class ScreenHeader;
class SettingsToggleRow;
class ThemeSelector;

// The popover screen of the stored preferences and of the library as a whole: the theme,
// six behaviour switches, export, import (a file or pasted preset text) and clearing all
// data, the tutorial, the privacy policy, credits and version, and Quit. It keeps nothing of
// its own: every row shows the published settings and every change goes through the
// application state, which stores it or refuses it (a refused switch shows the stored value
// again at once). Imports and clearing ask first through the popover's question; what they
// do then no longer depends on this screen, which may be gone by the time the user answers.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    // Opens a web address in the default browser; false when it could not.
    using UrlOpener = std::function<bool(const QUrl&)>;

    static inline const QString privacyPolicyAddress = QStringLiteral("https://velmora.app/privacy");
    // Seconds between "Replay tutorial" switching to the main list and the tutorial's start.
    static constexpr double tutorialStartDelay = 0.2;

    SettingsView(AppState& appState, ScreenBinding screen, std::function<void()> quit, QWidget* parent = nullptr);
    ~SettingsView() override;

    // Replaces the desktop's file dialogs; not owned, must outlive the screen's questions.
    void setFilePanels(FilePanels* panels);
    void setUrlOpener(UrlOpener opener);

    // The Data rows.
    void exportJSON();
    void importJSON();
    void importFromText();
    void clearAllData();
    // The About rows.
    void resetToDefaults();
    void replayTutorial();
    void openPrivacyPolicy();

    // "velmora-backup-2026-12-06.json" for 6 December 2026.
    static QString exportFileName(const QDate& day);
    // "Velmora " and the version, or "Velmora for Linux" without one.
    static QString versionLabel(const QString& version);

    ScreenHeader* header() const { return m_header; }
    ThemeSelector* themeSelector() const { return m_themeSelector; }
    const QList<SettingsToggleRow*>& toggleRows() const { return m_toggles; }

private:
    void refresh();
    void change(const std::function<void(AppSettings&)>& change);
    QWidget* buildContent();
    SettingsToggleRow* settingsToggle(const QString& label, bool AppSettings::*field);
    SettingsActionRow* settingsAction(const QString& title, const QString& symbol, void (SettingsView::*action)());
    SettingsActionRow* settingsDangerAction(
        const QString& title, const QString& symbol, void (SettingsView::*action)());
    SettingsActionRow* actionRow(
        SettingsActionRow::Kind kind, const QString& title, const QString& symbol, void (SettingsView::*action)());
    QWidget* settingsInfoRow(const QString& label, const QString& value);
    bool importAllowed() const;

    AppState& m_appState;
    ScreenBinding m_screen;
    std::function<void()> m_quit;
    std::unique_ptr<FilePanels> m_dialogs;
    FilePanels* m_panels;
    UrlOpener m_openUrl;

    ScreenHeader* m_header;
    ThemeSelector* m_themeSelector = nullptr;
    QList<SettingsToggleRow*> m_toggles;
    QList<bool AppSettings::*> m_toggleFields;
};
