#include "EngineFixture.h"

#include <functional>

namespace {

struct Interruption {
    const char* name;
    std::function<void(FakeDesktop&)> act;
};

InputEvent keyPress(
    int key, const QString& text = QString(), Qt::KeyboardModifiers modifiers = {}, bool autorepeat = false)
{
    InputEvent event;
    event.key = key;
    event.text = text;
    event.modifiers = modifiers;
    event.autorepeat = autorepeat;
    return event;
}

} // namespace

// Typing "/si", then the interruption, then "g" expands only when the interruption kept
// the typing together.
class TypingContinuity : public EngineFixture {
protected:
    bool expandsAcross(const std::function<void(FakeDesktop&)>& interruption)
    {
        auto next = desktop.focusNewField(QStringLiteral("x"));
        desktop.type(QStringLiteral("/si"));
        interruption(desktop);
        expansions.clear();
        desktop.typeKey(QStringLiteral("g"));
        settle();
        return !expansions.isEmpty();
    }
};

TEST_F(TypingContinuity, EveryNavigationAndEditingKeyStartsAfresh)
{
    for (int key :
        {Qt::Key_Return, Qt::Key_Tab, Qt::Key_Backspace, Qt::Key_Escape, Qt::Key_Enter, Qt::Key_Home, Qt::Key_PageUp,
            Qt::Key_Delete, Qt::Key_End, Qt::Key_PageDown, Qt::Key_Left, Qt::Key_Right, Qt::Key_Down, Qt::Key_Up}) {
        // Even a key of that kind that reports characters never reaches the matcher.
        EXPECT_FALSE(expandsAcross([key](FakeDesktop& d) { d.events.deliver(keyPress(key, QStringLiteral("q"))); }))
            << key;
    }
}

TEST_F(TypingContinuity, ModifierShortcutsClicksScrollsAndSwitchesStartAfresh)
{
    const std::vector<Interruption> interruptions = {
        {"super", [](FakeDesktop& d) { d.changeModifiers(Qt::MetaModifier); }},
        {"alt", [](FakeDesktop& d) { d.changeModifiers(Qt::AltModifier); }},
        {"ctrl", [](FakeDesktop& d) { d.changeModifiers(Qt::ControlModifier | Qt::ShiftModifier); }},
        {"ctrl key",
            [](FakeDesktop& d) { d.events.deliver(keyPress(Qt::Key_C, QStringLiteral("c"), Qt::ControlModifier)); }},
        {"autorepeat", [](FakeDesktop& d) { d.events.deliver(keyPress(Qt::Key_I, QStringLiteral("i"), {}, true)); }},
        {"click", [](FakeDesktop& d) { d.mouseDown(InputEventType::buttonPress); }},
        {"scroll", [](FakeDesktop& d) { d.mouseDown(InputEventType::scroll); }},
        {"switch", [](FakeDesktop& d) { d.workspace.activate(FakeDesktop::editorProcess); }},
        {"source disabled", [](FakeDesktop& d) { d.events.disable(); }},
        {"no characters", [](FakeDesktop& d) { d.events.deliver(keyPress(Qt::Key_unknown)); }},
        {"too many characters", [](FakeDesktop& d) { d.typeKey(QString(256, u'x')); }},
    };
    for (const Interruption& interruption : interruptions)
        EXPECT_FALSE(expandsAcross(interruption.act)) << interruption.name;
}

TEST_F(TypingContinuity, ShiftCapsLockAndModifierReleasesKeepTyping)
{
    const std::vector<Interruption> kept = {
        {"shift", [](FakeDesktop& d) { d.changeModifiers(Qt::ShiftModifier); }},
        {"caps lock", [](FakeDesktop& d) { d.changeModifiers({}); }},
        {"release", [](FakeDesktop& d) { d.changeModifiers({}); }},
        {"nothing", [](FakeDesktop&) {}},
    };
    for (const Interruption& interruption : kept)
        EXPECT_TRUE(expandsAcross(interruption.act)) << interruption.name;

    // A key typed with Shift held is typing.
    start({{QStringLiteral("/SIG"), QStringLiteral("loud")}});
    expansions.clear();
    desktop.typeKey(QStringLiteral("/"), Qt::Key_Slash, Qt::ShiftModifier);
    for (const QString& letter : {QStringLiteral("S"), QStringLiteral("I"), QStringLiteral("G")})
        desktop.typeKey(letter, letter.at(0).unicode(), Qt::ShiftModifier);
    settle();
    EXPECT_EQ(expansions, expected(QStringLiteral("/SIG"), QStringLiteral("loud")));
}

TEST_F(TypingContinuity, SpaceAndLongKeysUpToTheLimitAreTyped)
{
    start({{QStringLiteral("a b"), QStringLiteral("spaced")}, {QString(255, u'z'), QStringLiteral("long")}});
    desktop.typeKey(QStringLiteral("a"));
    desktop.typeKey(QStringLiteral(" "), Qt::Key_Space);
    desktop.typeKey(QStringLiteral("b"));
    settle();
    desktop.typeKey(QString(255, u'z'));
    settle();
    EXPECT_EQ(expansions.size(), 2);
}

TEST_F(TypingContinuity, TriggerSplitAcrossTwoFieldsDoesNotExpand)
{
    desktop.type(QStringLiteral("/si"));
    auto other = std::make_shared<FakeTextField>(QStringLiteral("Hello /si"));
    desktop.focus(FakeDesktop::editorProcess, other);
    desktop.typeKey(QStringLiteral("g"));
    settle();
    EXPECT_EQ(other->text, QStringLiteral("Hello /sig"));
    EXPECT_TRUE(expansions.isEmpty());

    // The buffer restarted in the new field: a whole trigger there expands.
    desktop.type(QStringLiteral(" /sig"));
    settle();
    EXPECT_EQ(expansions.size(), 1);
}

TEST_F(TypingContinuity, CaretMovedUnseenRestartsTheBuffer)
{
    // The caret lands behind another "/si", so only the continuity check stands between
    // the typed "g" and an expansion.
    field->text = QStringLiteral("Hello /si and more");
    field->moveCaret(0);
    desktop.type(QStringLiteral("/si"));
    field->moveCaret(field->text.indexOf(QStringLiteral(" and")));
    desktop.typeKey(QStringLiteral("g"));
    settle();
    EXPECT_TRUE(expansions.isEmpty());
}

TEST_F(TypingContinuity, SelectionInTheFieldStartsAfresh)
{
    desktop.type(QStringLiteral("/si"));
    field->selection = TextRange{0, 2};
    desktop.typeKey(QStringLiteral("x"));
    EXPECT_TRUE(engine.matcher().buffer().isEmpty());
}

TEST_F(TypingContinuity, ChangedShortcutListForgetsAHalfTypedTrigger)
{
    desktop.type(QStringLiteral("/si"));
    engine.updateShortcuts(
        {Shortcut{QStringLiteral("1"), QStringLiteral(";addr"), QStringLiteral("x"), std::nullopt, 0, std::nullopt}});
    desktop.typeKey(QStringLiteral("g"));
    settle();
    EXPECT_TRUE(expansions.isEmpty());
    desktop.type(QStringLiteral(";addr"));
    settle();
    EXPECT_EQ(expansions.size(), 1);
}

using EngineLifecycle = EngineFixture;

TEST_F(EngineLifecycle, WatchesKeysModifiersClicksAndScrolls)
{
    EXPECT_EQ(desktop.events.types(),
        InputEventType::keyPress | InputEventType::modifiersChanged | InputEventType::buttonPress
            | InputEventType::scroll);
    EXPECT_TRUE(engine.isRunning());
}

TEST_F(EngineLifecycle, SecondStartLeavesOneInstallationAndOneActivationObserver)
{
    start({{QStringLiteral("/sig"), signature}});
    EXPECT_EQ(desktop.events.installCount(), 2);
    EXPECT_EQ(desktop.events.removeCount(), 1);
    EXPECT_TRUE(desktop.events.isInstalled());

    const quint64 before = engine.generation();
    desktop.workspace.activate(FakeDesktop::editorProcess);
    EXPECT_EQ(engine.generation(), before + 1);
}

TEST_F(EngineLifecycle, DisabledSourceIsEnabledAgainAtOnce)
{
    desktop.events.disable();
    EXPECT_TRUE(desktop.events.isEnabled());
    EXPECT_TRUE(engine.isRunning());
    desktop.type(QStringLiteral("/sig"));
    settle();
    EXPECT_EQ(expansions.size(), 1);
}

TEST_F(EngineLifecycle, StoppedEngineSeesNothingAndKeepsItsCallbackAndTriggers)
{
    engine.stop();
    EXPECT_FALSE(engine.isRunning());
    EXPECT_FALSE(desktop.events.isInstalled());
    const quint64 before = engine.generation();
    desktop.workspace.activate(FakeDesktop::editorProcess);
    EXPECT_EQ(engine.generation(), before);
    EXPECT_EQ(engine.matcher().entries().size(), 2);
}

TEST_F(EngineLifecycle, ALargeLibraryReadOnAWorkerExpandsFromTheFirstKeyAndFollowsEdits)
{
    QList<Shortcut> library;
    for (int i = 0; i < int(TextExpansionEngine::backgroundReadSize); ++i)
        library.append(Shortcut{QString::number(i), QStringLiteral(";t%1").arg(i), QStringLiteral("text %1").arg(i),
            std::nullopt, i, std::nullopt});
    library.append(Shortcut{QStringLiteral("sig"), QStringLiteral("/sig"), signature, std::nullopt, 0, std::nullopt});
    QStringList expandedIds;
    engine.start(library, [&](const QString& trigger, const QString& expansion, const QString& shortcutId) {
        expansions.append({trigger, expansion});
        expandedIds.append(shortcutId);
    });
    // The same list again, as the application hands it over when it starts the engine.
    engine.updateShortcuts(library);
    desktop.type(QStringLiteral("/sig"));
    settle();
    EXPECT_EQ(expansions, expected(QStringLiteral("/sig"), signature));
    // The statistics count the shortcut by this, without looking for its trigger.
    EXPECT_EQ(expandedIds, QStringList{QStringLiteral("sig")});

    library.removeLast();
    engine.updateShortcuts(library);
    EXPECT_EQ(engine.matcher().entries().size(), library.size());
}

TEST_F(EngineLifecycle, RefusedOrBrokenSourceMeansNotRunning)
{
    engine.stop();
    desktop.events.refuseInstall(true);
    start({{QStringLiteral("/sig"), signature}});
    EXPECT_FALSE(engine.isRunning());

    desktop.events.refuseInstall(false);
    start({{QStringLiteral("/sig"), signature}});
    EXPECT_TRUE(engine.isRunning());
    desktop.events.breakConnection();
    EXPECT_FALSE(engine.isRunning());
}

TEST_F(EngineLifecycle, EveryKeyDownAndEveryResetMovesTheGeneration)
{
    const quint64 start = engine.generation();
    desktop.typeKey(QStringLiteral("a"));
    EXPECT_EQ(engine.generation(), start + 1);
    desktop.press(Qt::Key_Left);
    EXPECT_EQ(engine.generation(), start + 3);
    desktop.changeModifiers(Qt::ShiftModifier);
    EXPECT_EQ(engine.generation(), start + 3);
    desktop.mouseDown();
    EXPECT_EQ(engine.generation(), start + 4);
}
