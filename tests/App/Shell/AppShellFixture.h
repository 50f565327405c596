#pragma once

#include "App/Shell/AppDelegate.h"
#include "App/Shell/PopoverWindow.h"
#include "FakeDesktop.h"
#include "ManualClock.h"
#include "ManualScheduler.h"
#include "Models/UserData.h"
#include "Models/VelmoraJSON.h"
#include "Persistence/LocalStore.h"
#include "ScriptedEventSource.h"
#include "TempDir.h"
#include "Utilities/Notifications.h"
#include "Utilities/VelmoraError.h"
#include "platform/LoginItem.h"
#include "platform/PlainTextClipboard.h"
#include "platform/SystemAppearance.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

// A desktop whose launch-at-login switch the test reads and can make fail.
class FakeLoginItem final : public LoginItem {
public:
    class Refusal final : public VelmoraError {
    public:
        QString errorDescription() const override { return QStringLiteral("The autostart folder is read-only."); }
    };

    QStringList calls;
    bool refuses = false;

    void registerApplication() override { act(QStringLiteral("register")); }
    void unregisterApplication() override { act(QStringLiteral("unregister")); }

private:
    void act(const QString& call)
    {
        calls.append(call);
        if (refuses)
            throw Refusal();
    }
};

class FakeSystemAppearance final : public SystemAppearance {
public:
    Appearance current = Appearance::light;

    Appearance appearance() const override { return current; }
    void change(Appearance appearance)
    {
        current = appearance;
        Q_EMIT appearanceChanged(appearance);
    }
};

class MemoryClipboard final : public PlainTextClipboard {
public:
    std::optional<QString> text() const override { return m_text; }
    void setText(const QString& text) override { m_text = text; }

private:
    std::optional<QString> m_text;
};

// Every in-process notification posted while it lives.
class PostedNotifications : public QObject {
public:
    PostedNotifications()
    {
        connect(&NotificationCenter::instance(), &NotificationCenter::posted, this,
            [this](const QString& name, const QVariant&) { names.append(name); });
    }
    int count(const QString& name) const { return int(names.count(name)); }

    QStringList names;
};

// The application started on a desktop of doubles, over a data folder of its own, with time
// moving only when the test says so.
class AppShellFixture : public ::testing::Test {
protected:
    ~AppShellFixture() override
    {
        delegate.reset();
        store.reset();
    }

    // Writes the library file before the start.
    void writeLibrary(const UserData& library) const
    {
        dir.write(QStringLiteral("data.json"), VelmoraJSON::encode(library));
    }
    void writeSettings(const AppSettings& settings) const
    {
        dir.write(QStringLiteral("settings.json"), VelmoraJSON::encode(settings));
    }

    void launch(AppDelegate::ContentFactory content = {})
    {
        store = std::make_unique<LocalStore>(dir.path(), writer);
        AppDelegate::Environment environment;
        environment.store = store.get();
        environment.desktop = desktop.desktop();
        environment.desktop.textFieldEvents = textFieldEvents;
        environment.mouseEvents = &mouse;
        environment.loginItem = &loginItem;
        environment.systemAppearance = &systemAppearance;
        environment.clipboard = &clipboard;
        environment.makeContent = std::move(content);
        environment.terminate = [this] { ++terminations; };
        environment.print = [this](const QString& line) { printed.append(line); };
        environment.account = account;
        environment.backgroundSync = backgroundSync;
        environment.backend = backend;
        delegate = std::make_unique<AppDelegate>(std::move(environment));
        delegate->applicationDidFinishLaunching();
    }

    // Launched, with the deferred first showing of the popover done.
    void launchAndSettle(AppDelegate::ContentFactory content = {})
    {
        launch(std::move(content));
        scheduler.runDue();
    }

    AppState& state() { return delegate->appState(); }
    PopoverWindow& popover() { return *delegate->popover(); }
    bool engineRunning() { return delegate->engine().isRunning(); }
    int engineStarts() const { return desktop.events.installCount(); }

    TempDir dir;
    ManualClock clock;
    ManualScheduler scheduler{&clock};
    FakeDesktop desktop;
    // Set before launching: a desktop that reports typing through its fields (Wayland).
    TextFieldEvents* textFieldEvents = nullptr;
    ScriptedEventSource mouse;
    FakeLoginItem loginItem;
    FakeSystemAppearance systemAppearance;
    MemoryClipboard clipboard;
    QStringList printed;
    int terminations = 0;
    // Library sync, for the tests that give one.
    CredentialsProvider* account = nullptr;
    BackgroundSyncManager* backgroundSync = nullptr;
    std::optional<BackendConfiguration> backend;
    // How the store writes its files; tests make it fail as a full disk would.
    FileIO::Writer writer = FileIO::writeAtomically;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<AppDelegate> delegate;
};
