#pragma once

#include "App/State/AppState.h"
#include "App/State/PopoverCommands.h"
#include "LibraryEditing.h"
#include "ManualScheduler.h"
#include "Persistence/LocalStore.h"
#include "TempDir.h"
#include "Utilities/Notifications.h"
#include "Utilities/ToastManager.h"
#include "Views/MenuBar/list/CardListCanvas.h"
#include "Views/MenuBar/list/FolderCard.h"
#include "Views/MenuBar/list/MainListView.h"
#include "Views/MenuBar/list/ShortcutCard.h"
#include "platform/AccessibilityTrust.h"
#include "platform/PlainTextClipboard.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace MainListTesting {

// Trust that a test grants and withdraws, counting the prompts asked for.
class SwitchableTrust final : public AccessibilityTrust {
public:
    bool trusted = true;
    int requests = 0;

    bool isProcessTrusted() override { return trusted; }
    bool requestTrust() override
    {
        ++requests;
        return trusted;
    }
    QString untrustedReason() override
    {
        if (trusted)
            return {};
        return requestable ? QStringLiteral("Not trusted in this test.")
                           : QStringLiteral("The X server offers no RECORD extension.");
    }
    bool canRequestTrust() override { return requestable; }
    // False as on an X server without RECORD: asking cannot help.
    bool requestable = true;
};

class MemoryClipboard final : public PlainTextClipboard {
public:
    std::optional<QString> text() const override { return m_text; }
    void setText(const QString& text) override { m_text = text; }
    std::optional<QString> m_text;
};

inline Group folder(
    const QString& id, const QString& name, std::optional<QString> parent = std::nullopt, qint64 order = 0)
{
    Group g;
    g.id = id;
    g.name = name;
    g.parentGroupId = std::move(parent);
    g.order = order;
    g.visibility = QStringLiteral("private");
    return g;
}

inline Shortcut shortcut(const QString& id, const QString& trigger, std::optional<QString> groupId = std::nullopt,
    qint64 order = 0, const QString& expansion = {})
{
    return Shortcut{id, trigger, expansion.isEmpty() ? QStringLiteral("text of ") + trigger : expansion,
        std::move(groupId), order, std::nullopt};
}

// An entry's text as the menu shows it: "&&" is a literal "&", a single "&" marks a mnemonic.
inline QString shown(const QAction& action)
{
    QString result;
    const QString text = action.text();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        result += text[i];
    }
    return result;
}

// The texts of a menu's entries as shown, separators as "-", submenus as their title.
inline QStringList entries(const QMenu& menu)
{
    QStringList texts;
    for (const QAction* action : menu.actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : shown(*action));
    return texts;
}

// The entry of `menu` shown as `text`; a failure when there is none.
inline QAction* entry(const QMenu& menu, const QString& text)
{
    for (QAction* action : menu.actions()) {
        if (shown(*action) == text)
            return action;
    }
    ADD_FAILURE() << "no menu entry " << text.toStdString();
    return nullptr;
}

// The main list over a real store in a temporary folder, shown offscreen at the popover's
// size, with time stepped by hand.
//
// The sample library:
//   Work (W1) > Clients (W2) > Archive (W3), and Home (H1), each at the top of its level;
//   top level: /sig (S1, order 0), /addr (S2, 1), /meet (S3, 2);
//   in Work: /sigw (S4); in Clients: /client (S5).
class MainListTest : public ::testing::Test {
protected:
    TempDir dir;
    ManualScheduler scheduler;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<AppState> state;
    SwitchableTrust trust;
    MemoryClipboard clipboard;
    // Every screen the list switched to, in order.
    QList<PopoverScreen> screens;
    int quits = 0;
    std::unique_ptr<PopoverCommands> commands;
    QObject screenWatch;
    std::unique_ptr<MainListView> view;
    // Every toast shown during the test, in order.
    QStringList toasts;
    QObject toastWatch;

    void SetUp() override
    {
        QObject::connect(&ToastManager::shared(), &ToastManager::messageChanged, &toastWatch, [this] {
            if (const auto& message = ToastManager::shared().message())
                toasts << *message;
        });
        store = std::make_unique<LocalStore>(dir.path());
        state = std::make_unique<AppState>(*store);
        state->setClipboard(&clipboard);
        state->updateSettings([](AppSettings& s) {
            s.confirmDelete = false;
            s.copyOnClick = false;
        });
        ASSERT_TRUE(editLibrary(*state, [](UserData& data) { data = sampleLibrary(); }));
        QGuiApplication::clipboard()->clear();
    }

    void TearDown() override
    {
        view.reset();
        flushDeletes();
    }

    static UserData sampleLibrary()
    {
        UserData data = UserData::empty();
        data.groups = {folder(QStringLiteral("W1"), QStringLiteral("Work"), std::nullopt, 0),
            folder(QStringLiteral("W2"), QStringLiteral("Clients"), QStringLiteral("W1"), 0),
            folder(QStringLiteral("W3"), QStringLiteral("Archive"), QStringLiteral("W2"), 0),
            folder(QStringLiteral("H1"), QStringLiteral("Home"), std::nullopt, 1)};
        data.shortcuts = {shortcut(QStringLiteral("S1"), QStringLiteral("/sig"), std::nullopt, 0),
            shortcut(QStringLiteral("S2"), QStringLiteral("/addr"), std::nullopt, 1),
            shortcut(QStringLiteral("S3"), QStringLiteral("/meet"), std::nullopt, 2),
            shortcut(QStringLiteral("S4"), QStringLiteral("/sigw"), QStringLiteral("W1"), 0),
            shortcut(QStringLiteral("S5"), QStringLiteral("/client"), QStringLiteral("W2"), 0)};
        return data;
    }

    // The screens the commands ask for, as the popover's shell would switch to them.
    void followCommands()
    {
        commands = std::make_unique<PopoverCommands>(*state,
            PopoverCommands::WindowActions{
                .quit = [this] { ++quits; }, .closePopover = {}, .endEditing = {}, .typingText = {}});
        QObject::connect(
            commands.get(), &PopoverCommands::screenRequested, &screenWatch, [this](PopoverCommands::Command command) {
                screens.append(command == PopoverCommands::Command::openAccount ? PopoverScreen::account()
                                                                                : PopoverScreen::stats());
            });
        const std::pair<QString, PopoverScreen> named[]
            = {{Notifications::velmoraNewShortcut, PopoverScreen::newShortcut()},
                {Notifications::velmoraNewFolder, PopoverScreen::newFolder()},
                {Notifications::velmoraOpenSettings, PopoverScreen::settings()},
                {Notifications::velmoraOpenAchievements, PopoverScreen::achievements()}};
        for (const auto& [name, screen] : named)
            NotificationCenter::instance().observe(
                name, &screenWatch, [this, shown = screen](const QVariant&) { screens.append(shown); });
        NotificationCenter::instance().observe(
            Notifications::velmoraEditShortcut, &screenWatch, [this](const QVariant& shortcut) {
                screens.append(PopoverScreen::editShortcut(shortcut.value<Shortcut>()));
            });
    }

    void openView()
    {
        const ScreenBinding binding([this] { return screens.isEmpty() ? PopoverScreen::main() : screens.last(); },
            [this](const PopoverScreen& screen) { screens.append(screen); });
        if (!commands)
            followCommands();
        view = std::make_unique<MainListView>(
            PopoverScreenContext{*state, PopoverScreen::main(), binding, *commands}, &trust);
        view->resize(340, 560);
        view->show();
        settle();
    }

    // Lets layouts run and replaced widgets go.
    void settle()
    {
        QApplication::processEvents();
        flushDeletes();
        QApplication::processEvents();
    }

    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    QStringList cardIds() const
    {
        QStringList ids;
        for (const LibraryItemCard* card : view->canvas()->cards())
            ids << card->itemId();
        return ids;
    }

    template <class Card> Card* card(const QString& id) const
    {
        for (LibraryItemCard* card : view->canvas()->cards()) {
            if (card->itemId() == id)
                return qobject_cast<Card*>(card);
        }
        ADD_FAILURE() << "no card " << id.toStdString();
        return nullptr;
    }
    ShortcutCard* shortcutCard(const QString& id) const { return card<ShortcutCard>(id); }
    FolderCard* folderCard(const QString& id) const { return card<FolderCard>(id); }

    // The events a real double click brings: press, release, double click, release.
    static void doubleClick(QWidget* widget)
    {
        QTest::mouseClick(widget, Qt::LeftButton);
        QTest::mouseDClick(widget, Qt::LeftButton);
        QTest::mouseRelease(widget, Qt::LeftButton);
    }

    QSet<QString> selected() const { return state->selectedIds(); }
};

} // namespace MainListTesting
