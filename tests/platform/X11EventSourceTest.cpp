#include <gtest/gtest.h>

#include "DesktopSession.h"
#include "platform/InputEvent.h"
#include "platform/linux/PostedKeyLedger.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11EventSource.h"
#include "platform/linux/X11KeyTranslation.h"
#include "platform/linux/X11KeyboardLayout.h"
#include "platform/linux/X11KeyboardPoster.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

constexpr quint64 everyType = (quint64(1) << quint32(InputEventType::keyDown))
    | (quint64(1) << quint32(InputEventType::flagsChanged)) | (quint64(1) << quint32(InputEventType::leftMouseDown))
    | (quint64(1) << quint32(InputEventType::rightMouseDown)) | (quint64(1) << quint32(InputEventType::otherMouseDown))
    | (quint64(1) << quint32(InputEventType::scrollWheel));

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

    bool install(quint64 mask)
    {
        return source->install(mask, [this](const InputEvent& event) { events.append(event); });
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
        return DesktopSession::waitFor([&] { return ofType(InputEventType::keyDown).size() >= count; });
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
    const QList<InputEvent> keys = ofType(InputEventType::keyDown);
    EXPECT_EQ(keys.at(0).characters, "a");
    EXPECT_EQ(keys.at(0).flags, 0u);
    EXPECT_EQ(keys.at(1).characters, "B");
    EXPECT_EQ(keys.at(1).flags, EventFlags::shift);
    EXPECT_EQ(keys.at(2).characters, "/");
    for (const InputEvent& key : keys) {
        EXPECT_FALSE(key.autorepeat);
        EXPECT_EQ(key.sourceUserData, 0u);
    }
}

TEST_F(X11Events, navigationAndEditingKeysArriveWithTheirAppleKeyCodes)
{
    const std::pair<const char*, quint16> keys[] = {
        {"Return", VirtualKey::returnKey},
        {"Tab", VirtualKey::tab},
        {"BackSpace", VirtualKey::deleteKey},
        {"Escape", VirtualKey::escape},
        {"KP_Enter", VirtualKey::keypadEnter},
        {"Home", VirtualKey::home},
        {"Prior", VirtualKey::pageUp},
        {"Delete", VirtualKey::forwardDelete},
        {"End", VirtualKey::end},
        {"Next", VirtualKey::pageDown},
        {"Left", VirtualKey::leftArrow},
        {"Right", VirtualKey::rightArrow},
        {"Down", VirtualKey::downArrow},
        {"Up", VirtualKey::upArrow},
        {"v", VirtualKey::v},
        {"space", VirtualKey::space},
    };
    QStringList names;
    for (const auto& [name, code] : keys)
        names.append(name);
    ASSERT_TRUE(DesktopSession::xdotool(QStringList{"key", "--delay", "5"} + names));
    ASSERT_TRUE(waitForKeyDowns(std::size(keys)));
    const QList<InputEvent> downs = ofType(InputEventType::keyDown);
    for (size_t i = 0; i < std::size(keys); ++i)
        EXPECT_EQ(downs.at(qsizetype(i)).keyCode, keys[i].second) << keys[i].first;
    EXPECT_EQ(downs.at(14).characters, "v");
    EXPECT_EQ(downs.at(15).characters, " ");
}

TEST_F(X11Events, modifierPressesAndReleasesArriveAsFlagChanges)
{
    ASSERT_TRUE(DesktopSession::xdotool({"keydown", "ctrl", "keyup", "ctrl", "keydown", "alt", "keyup", "alt",
        "keydown", "super", "keyup", "super", "keydown", "shift", "keyup", "shift"}));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return ofType(InputEventType::flagsChanged).size() >= 8; }));
    QList<quint64> flags;
    for (const InputEvent& event : ofType(InputEventType::flagsChanged))
        flags.append(event.flags);
    EXPECT_EQ(flags,
        (QList<quint64>{EventFlags::command, 0, EventFlags::option, 0, EventFlags::control, 0, EventFlags::shift, 0}));
    EXPECT_TRUE(ofType(InputEventType::keyDown).isEmpty());
}

TEST_F(X11Events, aKeyTypedWithCtrlHeldCarriesCommand)
{
    ASSERT_TRUE(DesktopSession::xdotool({"key", "ctrl+a"}));
    ASSERT_TRUE(waitForKeyDowns(1));
    EXPECT_EQ(ofType(InputEventType::keyDown).first().flags & EventFlags::command, EventFlags::command);
}

TEST_F(X11Events, aHeldKeyRepeatsMarkedAsAutorepeat)
{
    ASSERT_TRUE(DesktopSession::xdotool({"keydown", "a", "sleep", "0.8", "keyup", "a"}));
    ASSERT_TRUE(waitForKeyDowns(2));
    const QList<InputEvent> downs = ofType(InputEventType::keyDown);
    EXPECT_FALSE(downs.first().autorepeat);
    EXPECT_TRUE(downs.at(1).autorepeat);
    events.clear();
    ASSERT_TRUE(DesktopSession::xdotool({"key", "a"}));
    ASSERT_TRUE(waitForKeyDowns(1));
    EXPECT_FALSE(ofType(InputEventType::keyDown).first().autorepeat);
}

TEST_F(X11Events, clicksAndWheelTurnsArriveAsMouseDownsAndScrolls)
{
    ASSERT_TRUE(DesktopSession::xdotool({"click", "1", "click", "3", "click", "2", "click", "5"}));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return events.size() >= 4; }));
    QList<InputEventType> types;
    for (const InputEvent& event : events)
        types.append(event.type);
    EXPECT_EQ(types,
        (QList<InputEventType>{InputEventType::leftMouseDown, InputEventType::rightMouseDown,
            InputEventType::otherMouseDown, InputEventType::scrollWheel}));
}

TEST_F(X11Events, everythingAPostedPasteCausesArrivesWithItsUserData)
{
    X11KeyboardPoster poster(connection, layout.get(), ledger);
    constexpr quint64 marker = 0x0056454C4D4F5241;
    ASSERT_TRUE(poster.post(0, {{VirtualKey::v, true, EventFlags::command, marker}, {VirtualKey::v, false, EventFlags::command, marker}}));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return events.size() >= 3; }));
    DesktopSession::pause(100);
    ASSERT_EQ(events.size(), 3);
    EXPECT_EQ(events.at(0).type, InputEventType::flagsChanged);
    EXPECT_EQ(events.at(0).flags, EventFlags::command);
    EXPECT_EQ(events.at(1).type, InputEventType::keyDown);
    EXPECT_EQ(events.at(1).keyCode, VirtualKey::v);
    EXPECT_EQ(events.at(1).flags, EventFlags::command);
    EXPECT_EQ(events.at(2).type, InputEventType::flagsChanged);
    EXPECT_EQ(events.at(2).flags, 0u);
    for (const InputEvent& event : events)
        EXPECT_EQ(event.sourceUserData, marker);
}

TEST_F(X11Events, aShiftHeldThroughXTestIsLiftedForThePasteAndPressedAgain)
{
    ASSERT_TRUE(DesktopSession::xdotool({"keydown", "shift"}));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return !events.isEmpty(); }));
    events.clear();
    X11KeyboardPoster poster(connection, layout.get(), ledger);
    ASSERT_TRUE(poster.post(0, {{VirtualKey::v, true, EventFlags::command, 7}, {VirtualKey::v, false, EventFlags::command, 7}}));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return events.size() >= 5; }));
    QList<std::pair<InputEventType, quint64>> seen;
    for (const InputEvent& event : events) {
        seen.append({event.type, event.flags});
        EXPECT_EQ(event.sourceUserData, 7u);
    }
    EXPECT_EQ(seen,
        (QList<std::pair<InputEventType, quint64>>{{InputEventType::flagsChanged, 0},
            {InputEventType::flagsChanged, EventFlags::command}, {InputEventType::keyDown, EventFlags::command},
            {InputEventType::flagsChanged, 0}, {InputEventType::flagsChanged, EventFlags::shift}}));
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
    EXPECT_EQ(ofType(InputEventType::keyDown).first().characters, QStringLiteral("€"));

    KeySym none[2] = {NoSymbol, NoSymbol};
    XChangeKeyboardMapping(display, int(spare), 2, none, 1);
    XSync(display, False);
}

TEST_F(X11Events, aKeyWhoseSymbolTheLayoutLacksIsNotPostedAtAll)
{
    X11KeyboardPoster poster(connection, layout.get(), ledger);
    EXPECT_FALSE(poster.post(0, {{VirtualKey::v, true, 0, 1}, {X11KeyTranslation::unnamedKeyBase, true, 0, 1}}));
    DesktopSession::pause(100);
    EXPECT_TRUE(events.isEmpty());
    EXPECT_TRUE(ledger.isEmpty());
}

TEST_F(X11Events, eventsOutsideTheMaskAreNotDelivered)
{
    ASSERT_TRUE(install(quint64(1) << quint32(InputEventType::keyDown)));
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
    EXPECT_EQ(ofType(InputEventType::keyDown).first().characters, "y");
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
    EXPECT_FALSE(poster.post(0, {{VirtualKey::v, true, EventFlags::command, 1}}));
}

}
