// Google Test first: Xlib's macros (None, Bool, Status) would break its templates.
#include <gtest/gtest.h>

#include "DesktopSession.h"
#include "platform/InputEvent.h"
#include "platform/linux/PostedKeyLedger.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11InputRecorder.h"
#include "platform/linux/X11KeyboardLayout.h"
#include "platform/linux/X11KeyboardPoster.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

class X11InputRecording : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QString missing = DesktopSession::missingDisplay(); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        connection = X11Connection::open();
        ASSERT_TRUE(connection);
        layout = std::make_unique<X11KeyboardLayout>(connection->display());
        recorder = std::make_unique<X11InputRecorder>(connection);
        QObject::connect(recorder.get(), &X11InputRecorder::recorded,
            [this](const X11RecordedEvent& event) { events.append(event); });
        ASSERT_TRUE(recorder->start());
    }

    QList<X11RecordedEvent> presses() const
    {
        QList<X11RecordedEvent> result;
        for (const X11RecordedEvent& event : events) {
            if (event.kind == X11RecordedEvent::KeyDown
                && layout->modifierBits(event.detail) == 0)
                result.append(event);
        }
        return result;
    }

    bool postPaste(PostedKeyLedger& ledger, quint64 userData)
    {
        X11KeyboardPoster poster(connection, layout.get(), ledger);
        return poster.post(0,
            { { VirtualKey::v, true, EventFlags::command, userData }, { VirtualKey::v, false, EventFlags::command, userData } });
    }

    std::shared_ptr<X11Connection> connection;
    std::unique_ptr<X11KeyboardLayout> layout;
    std::unique_ptr<X11InputRecorder> recorder;
    QList<X11RecordedEvent> events;
};

TEST_F(X11InputRecording, typedKeysArriveWithTheCharactersOfTheLayout)
{
    ASSERT_TRUE(DesktopSession::xdotool({ "type", "--delay", "5", "aB/ 7" }));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return presses().size() >= 5; }));
    QStringList typed;
    for (const X11RecordedEvent& press : presses())
        typed.append(layout->text(press.detail, press.state));
    EXPECT_EQ(typed, QStringList({ "a", "B", "/", " ", "7" }));
}

TEST_F(X11InputRecording, aKeyReboundWhileRecordingTypesItsNewCharacter)
{
    Display* display = connection->display();
    int first = 0;
    int last = 0;
    XDisplayKeycodes(display, &first, &last);
    unsigned spare = 0;
    for (int keyCode = last; keyCode >= first && spare == 0; --keyCode) {
        if (XkbKeycodeToKeysym(display, KeyCode(keyCode), 0, 0) == NoSymbol)
            spare = unsigned(keyCode);
    }
    ASSERT_NE(spare, 0u);
    bool remapped = false;
    QObject::connect(connection.get(), &X11Connection::keyboardMappingChanged, [&] { remapped = true; });
    KeySym euro[2] = { XK_EuroSign, XK_EuroSign };
    XChangeKeyboardMapping(display, int(spare), 2, euro, 1);
    XSync(display, False);
    connection->processEventsSoon();
    ASSERT_TRUE(DesktopSession::waitFor([&] { return remapped; }));
    layout->reload();

    XTestFakeKeyEvent(display, spare, True, CurrentTime);
    XTestFakeKeyEvent(display, spare, False, CurrentTime);
    XSync(display, False);
    ASSERT_TRUE(DesktopSession::waitFor([&] { return !presses().isEmpty(); }));
    EXPECT_EQ(layout->text(presses().first().detail, presses().first().state), QStringLiteral("€"));

    KeySym none[2] = { NoSymbol, NoSymbol };
    XChangeKeyboardMapping(display, int(spare), 2, none, 1);
    XSync(display, False);
}

TEST_F(X11InputRecording, aHeldKeyRepeatsBeforeItIsReleased)
{
    // Servers report the repeat either as further presses of a key that is down, or as a release
    // and a press with the same time; the event source accepts both.
    ASSERT_TRUE(DesktopSession::xdotool({ "keydown", "a", "sleep", "0.8", "keyup", "a" }));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return presses().size() >= 2; }));
    bool repeated = false;
    bool down = false;
    for (qsizetype i = 0; i < events.size(); ++i) {
        const X11RecordedEvent& event = events.at(i);
        if (event.kind == X11RecordedEvent::KeyDown) {
            const bool pairedWithRelease = i > 0 && events.at(i - 1).kind == X11RecordedEvent::KeyUp
                && events.at(i - 1).detail == event.detail && events.at(i - 1).time == event.time;
            repeated = repeated || down || pairedWithRelease;
            down = true;
        } else if (event.kind == X11RecordedEvent::KeyUp) {
            down = false;
        }
    }
    EXPECT_TRUE(repeated);
}

TEST_F(X11InputRecording, clicksAndWheelTurnsArriveAsButtonPresses)
{
    ASSERT_TRUE(DesktopSession::xdotool({ "click", "1", "click", "3", "click", "4" }));
    QList<unsigned> buttons;
    ASSERT_TRUE(DesktopSession::waitFor([&] {
        buttons.clear();
        for (const X11RecordedEvent& event : events) {
            if (event.kind == X11RecordedEvent::ButtonDown)
                buttons.append(event.detail);
        }
        return buttons.size() >= 3;
    }));
    EXPECT_EQ(buttons, QList<unsigned>({ 1, 3, 4 }));
}

TEST_F(X11InputRecording, postedKeysComeBackClaimedWithTheirUserData)
{
    PostedKeyLedger ledger;
    ASSERT_TRUE(postPaste(ledger, 42));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return events.size() >= 4; }));
    QStringList claimed;
    for (const X11RecordedEvent& event : events) {
        const bool press = event.kind == X11RecordedEvent::KeyDown;
        if (ledger.claim(press, event.detail) == 42u)
            claimed.append(QString::fromLatin1(press ? "+%1" : "-%1").arg(event.detail));
    }
    const unsigned control = layout->keyCodeOf(XK_Control_L);
    const unsigned v = layout->keyCodeOf(XK_v);
    EXPECT_EQ(claimed, QStringList({ QString("+%1").arg(control), QString("+%1").arg(v),
                           QString("-%1").arg(v), QString("-%1").arg(control) }));
    EXPECT_TRUE(ledger.isEmpty());
}

TEST_F(X11InputRecording, aShiftHeldThroughXTestIsLiftedForThePasteAndPressedAgain)
{
    ASSERT_TRUE(DesktopSession::xdotool({ "keydown", "shift" }));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return !events.isEmpty(); }));
    events.clear();
    PostedKeyLedger ledger;
    ASSERT_TRUE(postPaste(ledger, 7));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return events.size() >= 6; }));
    const unsigned shift = layout->keyCodeOf(XK_Shift_L);
    const unsigned v = layout->keyCodeOf(XK_v);
    unsigned vState = 0;
    for (const X11RecordedEvent& event : events) {
        EXPECT_EQ(ledger.claim(event.kind == X11RecordedEvent::KeyDown, event.detail), 7u);
        if (event.detail == v && event.kind == X11RecordedEvent::KeyDown)
            vState = event.state;
    }
    EXPECT_EQ(vState & (ShiftMask | ControlMask), unsigned(ControlMask));
    EXPECT_EQ(events.first().kind, X11RecordedEvent::KeyUp);
    EXPECT_EQ(events.first().detail, shift);
    EXPECT_EQ(events.last().kind, X11RecordedEvent::KeyDown);
    EXPECT_EQ(events.last().detail, shift);
    ASSERT_TRUE(DesktopSession::xdotool({ "keyup", "shift" }));
}

}
