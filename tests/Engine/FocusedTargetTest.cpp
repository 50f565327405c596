#include "EngineFixture.h"

#include "Engine/AccessibilityExpansionTarget.h"
#include "Engine/KeySimulator.h"

#include <QCoreApplication>

// Typing "/sig" must leave the field exactly as typed.
class NeverExpands : public EngineFixture {
protected:
    void expectTriggerStays(const char* situation)
    {
        const QString before = field->text;
        desktop.type(QStringLiteral("/sig"));
        settle();
        EXPECT_TRUE(expansions.isEmpty()) << situation;
        EXPECT_EQ(desktop.pasteboard.writeCount(), 0) << situation;
        EXPECT_TRUE(desktop.keyboard.posted.isEmpty()) << situation;
        EXPECT_EQ(field->text, before + QStringLiteral("/sig")) << situation;
    }
};

TEST_F(NeverExpands, PasswordField)
{
    field->fieldKind = FieldKind::password;
    expectTriggerStays("password field");
}

TEST_F(NeverExpands, WhileAnyApplicationHasSecureInput)
{
    desktop.accessibility.secureInput = true;
    expectTriggerStays("secure input");
}

TEST_F(NeverExpands, IntoThisApplicationsOwnWindows)
{
    const qint64 own = QCoreApplication::applicationPid();
    field = desktop.focusNewField(QStringLiteral("Search "), own);
    expectTriggerStays("own window");
}

TEST_F(NeverExpands, ElementsWithoutEditableText)
{
    for (const FieldKind kind : {FieldKind::other, FieldKind::multiLine}) {
        field = desktop.focusNewField();
        field->fieldKind = kind;
        field->editable = false;
        expectTriggerStays("not editable");
    }
    field = desktop.focusNewField();
    field->fieldKind.reset();
    expectTriggerStays("no kind");
}

TEST_F(NeverExpands, DisabledOrReadOnlyFields)
{
    field->enabled = false;
    expectTriggerStays("disabled");
    field = desktop.focusNewField();
    field->editable = false;
    expectTriggerStays("read-only");
    field = desktop.focusNewField();
    field->editable.reset();
    expectTriggerStays("editable unknown");
}

TEST_F(NeverExpands, WithoutTrust)
{
    desktop.trust.trusted = false;
    expectTriggerStays("untrusted");
    EXPECT_EQ(desktop.accessibility.focusRequests, 0);
    EXPECT_EQ(field->queryCount(), 0);
}

TEST_F(NeverExpands, WhenFocusMovesBeforeThePaste)
{
    desktop.type(QStringLiteral("/sig"));
    auto other = std::make_shared<FakeTextField>();
    desktop.focus(FakeDesktop::editorProcess, other);
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig"));
    EXPECT_TRUE(other->text.isEmpty());
    EXPECT_TRUE(expansions.isEmpty());
    EXPECT_EQ(desktop.pasteboard.writeCount(), 0);
}

TEST_F(NeverExpands, WhenNoApplicationIsInFront)
{
    desktop.workspace.frontmost.reset();
    desktop.type(QStringLiteral("/sig"));
    settle();
    EXPECT_TRUE(expansions.isEmpty());
    EXPECT_EQ(desktop.accessibility.focusRequests, 0);
}

using FocusedTarget = EngineFixture;

TEST_F(FocusedTarget, EditableFieldOfTheFrontApplicationWithShortTimeouts)
{
    const auto target = AccessibilityExpansionTarget::focused();
    ASSERT_TRUE(target);
    EXPECT_EQ(target->process(), FakeDesktop::editorProcess);
    EXPECT_EQ(target->selection(), (TextRange{6, 0}));
    EXPECT_EQ(target->text(TextRange{0, 5}), QStringLiteral("Hello"));
    EXPECT_EQ(field->messagingTimeout(), 0.03);
}

TEST_F(FocusedTarget, AcceptedKindsWithOrWithoutEnabledState)
{
    // Browsers and office suites show editable text under roles of their own.
    for (const FieldKind kind : {FieldKind::singleLine, FieldKind::multiLine, FieldKind::other}) {
        field->fieldKind = kind;
        EXPECT_TRUE(AccessibilityExpansionTarget::focused()) << int(kind);
    }
    field->enabled = true;
    EXPECT_TRUE(AccessibilityExpansionTarget::focused());
    field->enabled.reset();
    EXPECT_TRUE(AccessibilityExpansionTarget::focused());
}

TEST_F(FocusedTarget, UnreadableOrNegativeSelectionIsNoTarget)
{
    for (const std::optional<TextRange>& answer :
        {std::optional<TextRange>(), std::optional(TextRange{-1, 0}), std::optional(TextRange{2, -1})}) {
        field->selectionAnswer = answer;
        EXPECT_FALSE(AccessibilityExpansionTarget::focused());
    }
}

TEST_F(FocusedTarget, AnApplicationWithoutFocusOrUnknownHasNoTarget)
{
    desktop.accessibility.focused[FakeDesktop::editorProcess] = nullptr;
    EXPECT_FALSE(AccessibilityExpansionTarget::focused());
    desktop.accessibility.focused.remove(FakeDesktop::editorProcess);
    EXPECT_FALSE(AccessibilityExpansionTarget::focused());
}

TEST_F(FocusedTarget, OldTargetStopsActingOnceFocusMovesOn)
{
    const auto target = AccessibilityExpansionTarget::focused();
    ASSERT_TRUE(target);
    EXPECT_TRUE(target->isFocusedAndEditable());
    EXPECT_TRUE(target->select(TextRange{0, 5}));
    EXPECT_EQ(field->selection, (TextRange{0, 5}));

    desktop.focus(FakeDesktop::editorProcess, std::make_shared<FakeTextField>());
    EXPECT_FALSE(target->isFocusedAndEditable());
    EXPECT_FALSE(target->select(TextRange{0, 1}));
    EXPECT_FALSE(target->paste());
    EXPECT_EQ(field->selection, (TextRange{0, 5}));
    EXPECT_TRUE(desktop.keyboard.posted.isEmpty());

    // The same element in another application is another target.
    desktop.focus(FakeDesktop::editorProcess, field);
    desktop.focus(5151, field);
    desktop.workspace.activate(5151);
    EXPECT_FALSE(target->isFocusedAndEditable());
}

TEST_F(FocusedTarget, TextOfARangeOutsideTheFieldIsNothing)
{
    const auto target = AccessibilityExpansionTarget::focused();
    ASSERT_TRUE(target);
    EXPECT_FALSE(target->text(TextRange{4, 10}));
    EXPECT_EQ(target->text(TextRange{6, 0}), QString());
}

TEST(KeySimulatorPaste, PostsMarkedCommandVDownThenUpOrNothing)
{
    ManualScheduler scheduler;
    FakeDesktop desktop;
    EXPECT_EQ(KeySimulator::marker, quint64(0x0056454C4D4F5241));
    EXPECT_TRUE(KeySimulator::paste(desktop.keyboard, 77));
    ASSERT_EQ(desktop.keyboard.posted.size(), 2);
    EXPECT_EQ(desktop.keyboard.posted.at(0).first, 77);
    EXPECT_TRUE(desktop.keyboard.posted.at(0).second.press);
    EXPECT_FALSE(desktop.keyboard.posted.at(1).second.press);

    desktop.keyboard.posted.clear();
    desktop.keyboard.refuses = true;
    EXPECT_FALSE(KeySimulator::paste(desktop.keyboard, 77));
    EXPECT_TRUE(desktop.keyboard.posted.isEmpty());
}
