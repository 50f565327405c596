#include <gtest/gtest.h>

#include "DesktopSession.h"
#include "platform/InputEvent.h"
#include "platform/linux/PostedKeyLedger.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11EventSource.h"
#include "platform/linux/X11KeyTranslation.h"
#include "platform/linux/X11KeyboardLayout.h"
#include "platform/linux/X11KeyboardPoster.h"

#include <utility>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

constexpr InputEventTypes everyType = InputEventType::keyPress | InputEventType::modifiersChanged
    | InputEventType::buttonPress | InputEventType::scroll;

class X11Events : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QString missing = DesktopSession::missingDisplay(); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        connection = X11Connection::open();
        ASSERT_TRUE(connection);
        layout = std::make_unique<X11KeyboardLayout>(connection->display());
        QObject::connect(connection.get(), &X11Connection::keyboardMappingChanged, connection.get(), [this] {
            layout->reload();
            ++mappingChanges;
        });
        source = std::make_unique<X11EventSource>(connection, layout.get(), ledger);
        ASSERT_TRUE(install(everyType));
    }

    bool install(InputEventTypes types)
    {
        return source->install(types, [this](const InputEvent& event) { events.append(event); });
    }

    QList<InputEvent> ofType(InputEventType type) const
    {
        QList<InputEvent> result;
        for (const InputEvent& event : events) {
            if (event.type == type)
                result.append(event);
        }
        return result;
    }

    bool waitForKeyDowns(qsizetype count)
    {
        return DesktopSession::waitFor([&] { return ofType(InputEventType::keyPress).size() >= count; });
    }

    std::shared_ptr<X11Connection> connection;
    std::unique_ptr<X11KeyboardLayout> layout;
    PostedKeyLedger ledger;
    std::unique_ptr<X11EventSource> source;
    QList<InputEvent> events;
    int mappingChanges = 0;
};

TEST_F(X11Events, typedKeysArriveAsKeyDownsWithTheirCharactersAndShift)
{
    ASSERT_TRUE(source->isValid());
    ASSERT_TRUE(source->isEnabled());
    ASSERT_TRUE(DesktopSession::xdotool({"type", "--delay", "5", "aB/"}));
    ASSERT_TRUE(waitForKeyDowns(3));
    const QList<InputEvent> keys = ofType(InputEventType::keyPress);
    EXPECT_EQ(keys.at(0).text, "a");
    EXPECT_EQ(keys.at(0).modifiers, Qt::NoModifier);
    EXPECT_EQ(keys.at(1).text, "B");
    EXPECT_EQ(keys.at(1).modifiers, Qt::ShiftModifier);
    EXPECT_EQ(keys.at(2).text, "/");
    for (const InputEvent& key : keys) {
        EXPECT_FALSE(key.autorepeat);
        EXPECT_EQ(key.tag, 0u);
    }
}

TEST_F(X11Events, keysReadAgainWhileOneIsHandedOnFollowItInTheOrderTyped)
{
    Display* typist = XOpenDisplay(nullptr);
    ASSERT_NE(typist, nullptr);
    auto typeKey = [&](KeySym symbol) {
        const KeyCode code = XKeysymToKeycode(typist, symbol);
        XTestFakeKeyEvent(typist, code, True, CurrentTime);
        XTestFakeKeyEvent(typist, code, False, CurrentTime);
        XSync(typist, False);
    };
    QStringList order;
    bool readAgain = false;
    ASSERT_TRUE(source->install(InputEventType::keyPress, [&](const InputEvent& event) {
        order.append(event.text);
        if (event.text != QStringLiteral("a") || std::exchange(readAgain, true))
            return;
        // "b" may have come with "a"; "c" is typed now and read while "a" is still being handed on.
        typeKey(XK_c);
        DesktopSession::waitFor(
            [&] {
                source->readPending();
                return order.contains(QStringLiteral("c"));
            },
            2000);
    }));
    typeKey(XK_a);
    typeKey(XK_b);
    EXPECT_TRUE(DesktopSession::waitFor([&] { return order.size() >= 3; }));
    EXPECT_EQ(order, (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    XCloseDisplay(typist);
}

TEST_F(X11Events, navigationAndEditingKeysArriveAsTheirQtKeys)
{
    const std::pair<const char*, int> keys[] = {
        {"Return", Qt::Key_Return},
        {"Tab", Qt::Key_Tab},
        {"BackSpace", Qt::Key_Backspace},
        {"Escape", Qt::Key_Escape},
        {"KP_Enter", Qt::Key_Enter},
        {"Home", Qt::Key_Home},
        {"Prior", Qt::Key_PageUp},
        {"Delete", Qt::Key_Delete},
        {"End", Qt::Key_End},
        {"Next", Qt::Key_PageDown},
        {"Left", Qt::Key_Left},
        {"Right", Qt::Key_Right},
        {"Down", Qt::Key_Down},
        {"Up", Qt::Key_Up},
        {"v", Qt::Key_V},
        {"space", Qt::Key_Space},
    };
    QStringList names;
    for (const auto& [name, code] : keys)
        names.append(name);
    ASSERT_TRUE(DesktopSession::xdotool(QStringList{"key", "--delay", "5"} + names));
    ASSERT_TRUE(waitForKeyDowns(std::size(keys)));
    const QList<InputEvent> downs = ofType(InputEventType::keyPress);
    for (size_t i = 0; i < std::size(keys); ++i)
        EXPECT_EQ(downs.at(qsizetype(i)).key, keys[i].second) << keys[i].first;
    EXPECT_EQ(downs.at(14).text, "v");
    EXPECT_EQ(downs.at(15).text, " ");
}

TEST_F(X11Events, modifierPressesAndReleasesArriveAsModifierChanges)
{
    ASSERT_TRUE(DesktopSession::xdotool({"keydown", "ctrl", "keyup", "ctrl", "keydown", "alt", "keyup", "alt",
        "keydown", "super", "keyup", "super", "keydown", "shift", "keyup", "shift"}));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return ofType(InputEventType::modifiersChanged).size() >= 8; }));
    QList<Qt::KeyboardModifiers> modifiers;
    for (const InputEvent& event : ofType(InputEventType::modifiersChanged))
        modifiers.append(event.modifiers);
    const Qt::KeyboardModifiers none;
    EXPECT_EQ(modifiers,
        (QList<Qt::KeyboardModifiers>{
            Qt::ControlModifier, none, Qt::AltModifier, none, Qt::MetaModifier, none, Qt::ShiftModifier, none}));
    EXPECT_TRUE(ofType(InputEventType::keyPress).isEmpty());
}

TEST_F(X11Events, aKeyTypedWithCtrlHeldCarriesCtrl)
{
    ASSERT_TRUE(DesktopSession::xdotool({"key", "ctrl+a"}));
    ASSERT_TRUE(waitForKeyDowns(1));
    EXPECT_TRUE(ofType(InputEventType::keyPress).first().modifiers.testFlag(Qt::ControlModifier));
}

TEST_F(X11Events, aHeldKeyRepeatsMarkedAsAutorepeat)
{
    // Held until the server repeats it.
    ASSERT_TRUE(DesktopSession::xdotool({"keydown", "a"}));
    const bool repeated = waitForKeyDowns(2);
    ASSERT_TRUE(DesktopSession::xdotool({"keyup", "a"}));
    ASSERT_TRUE(repeated);
    const QList<InputEvent> downs = ofType(InputEventType::keyPress);
    EXPECT_FALSE(downs.first().autorepeat);
    EXPECT_TRUE(downs.at(1).autorepeat);
    events.clear();
    ASSERT_TRUE(DesktopSession::xdotool({"key", "a"}));
    ASSERT_TRUE(waitForKeyDowns(1));
    EXPECT_FALSE(ofType(InputEventType::keyPress).first().autorepeat);
}

TEST_F(X11Events, aKeyTypedTwiceThroughXTestWithinAMillisecondIsTwoPressesNotARepeat)
{
    // A program typing through XTest may have a release and the next press handled within one
    // millisecond, as the server's own repeat has them, but long before any repeat.
    Display* typist = XOpenDisplay(nullptr);
    ASSERT_TRUE(typist);
    const KeyCode a = XKeysymToKeycode(typist, XK_a);
    for (const bool press : {true, false, true, false})
        XTestFakeKeyEvent(typist, a, press ? True : False, CurrentTime);
    XCloseDisplay(typist);
    ASSERT_TRUE(waitForKeyDowns(2));
    const QList<InputEvent> downs = ofType(InputEventType::keyPress);
    EXPECT_FALSE(downs.at(0).autorepeat);
    EXPECT_FALSE(downs.at(1).autorepeat);
}

TEST_F(X11Events, clicksAndWheelTurnsArriveAsMouseDownsAndScrolls)
{
    ASSERT_TRUE(DesktopSession::xdotool({"click", "1", "click", "3", "click", "2", "click", "5"}));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return events.size() >= 4; }));
    QList<InputEventType> types;
    for (const InputEvent& event : events)
        types.append(event.type);
    EXPECT_EQ(types,
        (QList<InputEventType>{InputEventType::buttonPress, InputEventType::buttonPress, InputEventType::buttonPress,
            InputEventType::scroll}));
}

TEST_F(X11Events, everythingAPostedPasteCausesArrivesWithItsTag)
{
    X11KeyboardPoster poster(connection, layout.get(), ledger);
    constexpr quint64 marker = 0x0056454C4D4F5241;
    ASSERT_TRUE(poster.post(
        0, {{Qt::Key_V, true, Qt::ControlModifier, marker}, {Qt::Key_V, false, Qt::ControlModifier, marker}}));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return events.size() >= 3; }));
    DesktopSession::pause(100);
    ASSERT_EQ(events.size(), 3);
    EXPECT_EQ(events.at(0).type, InputEventType::modifiersChanged);
    EXPECT_EQ(events.at(0).modifiers, Qt::ControlModifier);
    EXPECT_EQ(events.at(1).type, InputEventType::keyPress);
    EXPECT_EQ(events.at(1).key, Qt::Key_V);
    EXPECT_EQ(events.at(1).modifiers, Qt::ControlModifier);
    EXPECT_EQ(events.at(2).type, InputEventType::modifiersChanged);
    EXPECT_EQ(events.at(2).modifiers, Qt::NoModifier);
    for (const InputEvent& event : events)
        EXPECT_EQ(event.tag, marker);
}

TEST_F(X11Events, aShiftHeldThroughXTestIsLiftedForThePasteAndPressedAgain)
{
    ASSERT_TRUE(DesktopSession::xdotool({"keydown", "shift"}));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return !events.isEmpty(); }));
    events.clear();
    X11KeyboardPoster poster(connection, layout.get(), ledger);
    ASSERT_TRUE(
        poster.post(0, {{Qt::Key_V, true, Qt::ControlModifier, 7}, {Qt::Key_V, false, Qt::ControlModifier, 7}}));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return events.size() >= 5; }));
    QList<std::pair<InputEventType, Qt::KeyboardModifiers>> seen;
    for (const InputEvent& event : events) {
        seen.append({event.type, event.modifiers});
        EXPECT_EQ(event.tag, 7u);
    }
    const Qt::KeyboardModifiers none;
    EXPECT_EQ(seen,
        (QList<std::pair<InputEventType, Qt::KeyboardModifiers>>{{InputEventType::modifiersChanged, none},
            {InputEventType::modifiersChanged, Qt::ControlModifier}, {InputEventType::keyPress, Qt::ControlModifier},
            {InputEventType::modifiersChanged, none}, {InputEventType::modifiersChanged, Qt::ShiftModifier}}));
    ASSERT_TRUE(DesktopSession::xdotool({"keyup", "shift"}));
}

TEST_F(X11Events, aKeyReboundWhileWatchingTypesItsNewCharacter)
{
    // What xdotool does for a character outside the layout.
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
    KeySym euro[2] = {XK_EuroSign, XK_EuroSign};
    XChangeKeyboardMapping(display, int(spare), 2, euro, 1);
    XSync(display, False);
    ASSERT_TRUE(DesktopSession::waitFor([&] { return mappingChanges > 0; }));

    XTestFakeKeyEvent(display, spare, True, CurrentTime);
    XTestFakeKeyEvent(display, spare, False, CurrentTime);
    XSync(display, False);
    ASSERT_TRUE(waitForKeyDowns(1));
    EXPECT_EQ(ofType(InputEventType::keyPress).first().text, QStringLiteral("€"));

    KeySym none[2] = {NoSymbol, NoSymbol};
    XChangeKeyboardMapping(display, int(spare), 2, none, 1);
    XSync(display, False);
}

TEST_F(X11Events, aKeyWhoseSymbolTheLayoutLacksIsNotPostedAtAll)
{
    X11KeyboardPoster poster(connection, layout.get(), ledger);
    EXPECT_FALSE(poster.post(0, {{Qt::Key_V, true, {}, 1}, {Qt::Key_F35, true, {}, 1}}));
    DesktopSession::pause(100);
    EXPECT_TRUE(events.isEmpty());
    EXPECT_TRUE(ledger.isEmpty());
}

TEST_F(X11Events, eventsOfTypesNotAskedForAreNotDelivered)
{
    ASSERT_TRUE(install(InputEventType::keyPress));
    ASSERT_TRUE(DesktopSession::xdotool({"click", "1", "key", "shift+x"}));
    ASSERT_TRUE(waitForKeyDowns(1));
    DesktopSession::pause(100);
    EXPECT_EQ(events.size(), 1);
}

TEST_F(X11Events, aDisabledSourceDeliversNothingUntilEnabledAgain)
{
    source->setEnabled(false);
    EXPECT_FALSE(source->isEnabled());
    ASSERT_TRUE(DesktopSession::xdotool({"key", "x"}));
    DesktopSession::pause(100);
    EXPECT_TRUE(events.isEmpty());
    source->setEnabled(true);
    ASSERT_TRUE(DesktopSession::xdotool({"key", "y"}));
    ASSERT_TRUE(waitForKeyDowns(1));
    EXPECT_EQ(ofType(InputEventType::keyPress).first().text, "y");
}

TEST_F(X11Events, aRemovedSourceDeliversNothing)
{
    source->remove();
    EXPECT_FALSE(source->isValid());
    ASSERT_TRUE(DesktopSession::xdotool({"key", "x"}));
    DesktopSession::pause(100);
    EXPECT_TRUE(events.isEmpty());
}

TEST(X11EventsWithoutDisplay, installRefusesAndSaysWhy)
{
    PostedKeyLedger ledger;
    X11EventSource source(nullptr, nullptr, ledger);
    EXPECT_FALSE(source.install(everyType, [](const InputEvent&) {}));
    EXPECT_FALSE(source.isValid());
    EXPECT_FALSE(source.isEnabled());
    EXPECT_TRUE(source.unavailableReason().contains("X11")) << source.unavailableReason().toStdString();
    X11KeyboardPoster poster(nullptr, nullptr, ledger);
    EXPECT_FALSE(poster.post(0, {{Qt::Key_V, true, Qt::ControlModifier, 1}}));
}

}
