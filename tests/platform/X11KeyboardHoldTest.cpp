#include <gtest/gtest.h>

#include "DesktopSession.h"
#include "TextFieldsApp.h"
#include "platform/linux/PostedKeyLedger.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11HoldWatchdog.h"
#include "platform/linux/X11KeyboardHold.h"
#include "platform/linux/X11KeyboardLayout.h"

#include <QJsonDocument>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

namespace {

// The keyboard hold in front of a Qt field, with someone typing through XTest on a connection
// of their own, as an on-screen keyboard or a remote desktop does: the device they type on is
// the one the hold types the held keys again on. Without the event source nothing reports the
// keys typed again back, so each waits out the echo timeout, which leaves the typist a window
// right after each of them.
class XTestTypistDuringHold : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QString missing = DesktopSession::missingPieces(); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        connection = X11Connection::open();
        ASSERT_TRUE(connection);
        layout = std::make_unique<X11KeyboardLayout>(connection->display());
        hold = std::make_unique<X11KeyboardHold>(connection, layout.get(), ledger);
        typist = XOpenDisplay(nullptr);
        ASSERT_TRUE(typist);
        ASSERT_TRUE(app.start());
        ASSERT_TRUE(app.focus(QStringLiteral("line")));
        ASSERT_TRUE(DesktopSession::focusWindowOf(app.processId()));
        ASSERT_TRUE(app.setText(QStringLiteral("line"), QString()));
    }

    void TearDown() override
    {
        hold.reset();
        if (typist) {
            for (unsigned keyCode : keysDown())
                XTestFakeKeyEvent(typist, keyCode, False, CurrentTime);
            XCloseDisplay(typist);
        }
    }

    // Keys the typist sends; once this returns the server has handled them.
    void send(const QList<std::pair<KeySym, bool>>& keys)
    {
        for (const auto& [symbol, press] : keys)
            XTestFakeKeyEvent(typist, XKeysymToKeycode(typist, symbol), press ? True : False, CurrentTime);
        XSync(typist, False);
    }

    bool heldKeysAllTypedAgain()
    {
        bool done = false;
        hold->afterRelease([&done] { done = true; });
        return DesktopSession::waitFor([&done] { return done; }, 5000);
    }

    QList<unsigned> keysDown()
    {
        char keys[32] = {};
        XQueryKeymap(typist, keys);
        QList<unsigned> down;
        for (unsigned keyCode = 8; keyCode < 256; ++keyCode) {
            if (keys[keyCode / 8] & (1 << (keyCode % 8)))
                down.append(keyCode);
        }
        return down;
    }

    // A fast typist's keys for `text`, each pressed before the previous one is let go of.
    static QList<std::pair<KeySym, bool>> rolledOver(const QString& text)
    {
        QList<std::pair<KeySym, bool>> keys;
        KeySym down = NoSymbol;
        for (QChar character : text) {
            const KeySym symbol = character == QLatin1Char(' ') ? KeySym(XK_space) : KeySym(character.unicode());
            // A key is let go of before it goes down again.
            if (symbol == down)
                keys.append({std::exchange(down, NoSymbol), false});
            keys.append({symbol, true});
            if (down != NoSymbol)
                keys.append({down, false});
            down = symbol;
        }
        if (down != NoSymbol)
            keys.append({down, false});
        return keys;
    }

    std::shared_ptr<X11Connection> connection;
    std::unique_ptr<X11KeyboardLayout> layout;
    PostedKeyLedger ledger;
    std::unique_ptr<X11KeyboardHold> hold;
    Display* typist = nullptr;
    TextFieldsApp app;
};

TEST_F(XTestTypistDuringHold, aTypistWhoOutrunsTheHoldReachesTheFieldInOrderOnceEach)
{
    // Nothing reports the keys typed again back here, so every batch of them waits out the echo
    // timeout: the typist's keys come many times faster than that, some while the hold is on and
    // most while it types what it held again.
    const QString text = QStringLiteral("the quick brown fox jumps over a lazy dog and keeps on typing");
    const QList<std::pair<KeySym, bool>> keys = rolledOver(text);
    ASSERT_TRUE(hold->hold(2.0, 0));
    for (qsizetype i = 0; i < keys.size(); ++i) {
        if (i == 10)
            hold->release();
        send({keys.at(i)});
        DesktopSession::pause(4);
    }

    ASSERT_TRUE(heldKeysAllTypedAgain());
    // Once the hold has nothing left, every key is on its way to the field: no backlog outlives it.
    EXPECT_TRUE(DesktopSession::waitFor([&] { return app.text(QStringLiteral("line")) == text; }))
        << app.text(QStringLiteral("line")).toStdString();
    EXPECT_FALSE(hold->isHolding());
    EXPECT_EQ(keysDown(), QList<unsigned>());
}

TEST_F(XTestTypistDuringHold, keysLetGoOfWithoutThisProcessGoBehindASelectionAwaitingItsPaste)
{
    ASSERT_TRUE(app.setText(QStringLiteral("line"), QStringLiteral("Hi /sig")));
    send({{XK_End, true}, {XK_End, false}, {XK_Shift_L, true}, {XK_Left, true}, {XK_Left, false}, {XK_Left, true},
        {XK_Left, false}, {XK_Left, true}, {XK_Left, false}, {XK_Left, true}, {XK_Left, false}, {XK_Shift_L, false}});
    ASSERT_TRUE(DesktopSession::waitFor([&] { return app.state().value("selectionLength").toInt() == 4; }));
    ASSERT_TRUE(hold->hold(0.1, 0));
    hold->setSelectionAwaitingPaste(true);
    send({{XK_space, true}, {XK_space, false}, {XK_o, true}, {XK_o, false}, {XK_k, true}, {XK_k, false}});
    // Stuck past the hold's time, as a process that never comes back: the watchdog lets go.
    std::this_thread::sleep_for(std::chrono::milliseconds(
        int(1000 * (0.1 + X11KeyboardHold::watchdogGraceSeconds + X11KeyboardHold::watchdogStallSeconds))));

    // The trigger stays as typed, with the keys behind it rather than in its place.
    EXPECT_TRUE(DesktopSession::waitFor([&] { return app.text(QStringLiteral("line")) == "Hi /sig ok"; }))
        << app.text(QStringLiteral("line")).toStdString();
    ASSERT_TRUE(heldKeysAllTypedAgain());
    EXPECT_EQ(app.text(QStringLiteral("line")), QStringLiteral("Hi /sig ok"));
}

TEST_F(XTestTypistDuringHold, aShiftPressedWhileAHeldShiftIsTypedAgainStillShiftsTheNextLetter)
{
    ASSERT_TRUE(hold->hold(2.0, 0));
    send({{XK_Shift_L, true}, {XK_1, true}, {XK_1, false}, {XK_Shift_L, false}, {XK_space, true}, {XK_space, false}});
    hold->release();
    // The held Shift has just been typed again; the typist goes on with a capital.
    send({{XK_Shift_L, true}, {XK_q, true}, {XK_q, false}, {XK_Shift_L, false}, {XK_u, true}, {XK_u, false}});

    ASSERT_TRUE(heldKeysAllTypedAgain());
    EXPECT_TRUE(DesktopSession::waitFor([&] { return app.text(QStringLiteral("line")) == "! Qu"; }))
        << app.text(QStringLiteral("line")).toStdString();
    EXPECT_EQ(keysDown(), QList<unsigned>());
}

TEST_F(XTestTypistDuringHold, keysHeldWhileTheFocusMovesToAnotherWindowReachTheWindowTheyWereTypedIn)
{
    TextFieldsApp second;
    ASSERT_TRUE(second.start());
    ASSERT_TRUE(second.setText(QStringLiteral("line"), QString()));
    ASSERT_TRUE(second.focus(QStringLiteral("line")));
    ASSERT_TRUE(app.focus(QStringLiteral("line")));
    ASSERT_TRUE(DesktopSession::focusWindowOf(app.processId()));
    ASSERT_TRUE(hold->hold(2.0, 0));
    send({{XK_space, true}, {XK_space, false}, {XK_o, true}, {XK_o, false}, {XK_k, true}, {XK_k, false}});
    // Another program gives the second window the focus while those keys are held, and the user
    // types on there.
    ASSERT_TRUE(DesktopSession::focusWindowOf(second.processId()));
    send({{XK_x, true}, {XK_x, false}, {XK_y, true}, {XK_y, false}});
    hold->release();

    ASSERT_TRUE(heldKeysAllTypedAgain());
    EXPECT_TRUE(DesktopSession::waitFor([&] { return app.text(QStringLiteral("line")) == QStringLiteral(" ok"); }))
        << app.text(QStringLiteral("line")).toStdString();
    EXPECT_TRUE(DesktopSession::waitFor([&] { return second.text(QStringLiteral("line")) == QStringLiteral("xy"); }))
        << second.text(QStringLiteral("line")).toStdString();
    // The focus stays where it was moved to.
    Window focus = None;
    int revert = 0;
    XGetInputFocus(typist, &focus, &revert);
    EXPECT_EQ(focus, Window(DesktopSession::windowOf(second.processId())));
    EXPECT_EQ(keysDown(), QList<unsigned>());
}

// A watchdog over a connection that holds the keyboard in front of a Qt field, the way the hold
// hands a key over to it while typing it again: the key is owed as going out, goes with its
// mark behind it, and is owed no longer. Here the process "stops" right after the key went out
// or right before, and the watchdog lets go.
class WatchdogHandOver : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        if (QString missing = DesktopSession::missingPieces(); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        ASSERT_TRUE(app.start());
        ASSERT_TRUE(app.focus(QStringLiteral("line")));
        ASSERT_TRUE(DesktopSession::focusWindowOf(app.processId()));
        ASSERT_TRUE(app.setText(QStringLiteral("line"), QString()));
        // The watchdog ends this connection; Xlib must not end the process for it.
        previousHandler = XSetIOErrorHandler([](Display*) { return 0; });
        holding = XOpenDisplay(nullptr);
        ASSERT_TRUE(holding);
        XSetIOErrorExitHandler(
            holding, [](Display*, void*) {}, nullptr);
        ASSERT_EQ(XGrabKeyboard(holding, DefaultRootWindow(holding), False, GrabModeAsync, GrabModeAsync, CurrentTime),
            GrabSuccess);
        XSync(holding, False);
        watchdog = std::make_unique<X11HoldWatchdog>(ConnectionNumber(holding), DisplayString(holding));
    }

    void TearDown() override
    {
        watchdog.reset();
        if (holding)
            XCloseDisplay(holding);
        XSetIOErrorHandler(previousHandler);
    }

    X11HoldWatchdog::Key key(KeySym symbol, bool press)
    {
        return {press, quint8(XKeysymToKeycode(holding, symbol)), 0, 0};
    }

    TextFieldsApp app;
    XIOErrorHandler previousHandler = nullptr;
    Display* holding = nullptr;
    std::unique_ptr<X11HoldWatchdog> watchdog;
};

TEST_P(WatchdogHandOver, aKeyBeingTypedAgainReachesTheFieldOnceWhereverTheHoldStops)
{
    const bool wentOut = GetParam();
    ASSERT_NE(watchdog->sentMarkWindow(), 0U) << "the watchdog has no connection to look with";
    const quint32 mark = 7;
    watchdog->owe({key(XK_a, true), key(XK_a, false), key(XK_b, true), key(XK_b, false)}, 2, mark);
    if (wentOut) {
        // As the hold types a key again: with the keyboard let through, the key and its mark.
        XGrabServer(holding);
        XUngrabKeyboard(holding, CurrentTime);
        XTestFakeKeyEvent(holding, XKeysymToKeycode(holding, XK_a), True, CurrentTime);
        XTestFakeKeyEvent(holding, XKeysymToKeycode(holding, XK_a), False, CurrentTime);
        const long value = mark;
        XChangeProperty(holding, Window(watchdog->sentMarkWindow()), Atom(watchdog->sentMarkAtom()), XA_CARDINAL, 32,
            PropModeReplace, reinterpret_cast<const unsigned char*>(&value), 1);
        XGrabKeyboard(holding, DefaultRootWindow(holding), False, GrabModeAsync, GrabModeAsync, CurrentTime);
        XUngrabServer(holding);
        XSync(holding, False);
        ASSERT_TRUE(DesktopSession::waitFor([&] { return app.text(QStringLiteral("line")) == QStringLiteral("a"); }));
    }
    // The hold stops here and never tells the watchdog that the key went out.
    watchdog->arm(0);

    ASSERT_TRUE(DesktopSession::waitFor([&] { return watchdog->hasLetGo(); }));
    EXPECT_TRUE(watchdog->letGo().typedOwed);
    EXPECT_TRUE(DesktopSession::waitFor([&] { return app.text(QStringLiteral("line")) == QStringLiteral("ab"); }))
        << app.text(QStringLiteral("line")).toStdString();
    DesktopSession::pause(300);
    EXPECT_EQ(app.text(QStringLiteral("line")), QStringLiteral("ab"));
}

TEST_P(WatchdogHandOver, theSelectionIsCollapsedFirstOnlyWhileThePasteOverItHasNotGoneOut)
{
    const bool wentOut = GetParam();
    ASSERT_NE(watchdog->sentMarkWindow(), 0U) << "the watchdog has no connection to look with";
    ASSERT_TRUE(app.setText(QStringLiteral("line"), QStringLiteral("ab")));
    // Home stands in for the paste here: what the collapsing key does behind it shows.
    XGrabServer(holding);
    XUngrabKeyboard(holding, CurrentTime);
    XTestFakeKeyEvent(holding, XKeysymToKeycode(holding, XK_Home), True, CurrentTime);
    XTestFakeKeyEvent(holding, XKeysymToKeycode(holding, XK_Home), False, CurrentTime);
    XGrabKeyboard(holding, DefaultRootWindow(holding), False, GrabModeAsync, GrabModeAsync, CurrentTime);
    XUngrabServer(holding);
    XSync(holding, False);
    ASSERT_TRUE(DesktopSession::waitFor([&] { return app.state().value("cursor").toInt() == 0; }))
        << QJsonDocument(app.state()).toJson().toStdString();
    const quint32 mark = 3;
    watchdog->collapseSelectionFirst(XKeysymToKeycode(holding, XK_Right), mark);
    watchdog->owe({key(XK_x, true), key(XK_x, false)});
    if (wentOut) {
        const long value = mark;
        XChangeProperty(holding, Window(watchdog->sentMarkWindow()), Atom(watchdog->sentMarkAtom()), XA_CARDINAL, 32,
            PropModeReplace, reinterpret_cast<const unsigned char*>(&value), 1);
        XSync(holding, False);
    }
    watchdog->arm(0);

    ASSERT_TRUE(DesktopSession::waitFor([&] { return watchdog->hasLetGo(); }));
    const QString expected = wentOut ? QStringLiteral("xab") : QStringLiteral("axb");
    EXPECT_TRUE(DesktopSession::waitFor([&] { return app.text(QStringLiteral("line")) == expected; }))
        << app.text(QStringLiteral("line")).toStdString();
}

INSTANTIATE_TEST_SUITE_P(StoppedBeforeAndAfter, WatchdogHandOver, ::testing::Values(false, true),
    [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "afterItWentOut" : "beforeItWentOut"; });

}
