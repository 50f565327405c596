#include "AppShellFixture.h"
#include "FieldReports.h"
#include "platform/AccessibilityTrust.h"

namespace {

// The application on a desktop that reports typing through its fields, as a Wayland session
// does: the engine follows the fields, and an application that lets no one edit its fields is
// named until an expansion succeeds again.
class FieldTypingStartUp : public AppShellFixture {
protected:
    FieldTypingStartUp()
    {
        field->self = field;
        field->report = [this](const TextFieldEvent& event) {
            if (events.handler)
                events.handler(event);
        };
        Shortcut sig;
        sig.id = QStringLiteral("S-SIG");
        sig.trigger = QStringLiteral("/sig");
        sig.expansion = QStringLiteral("Best regards");
        UserData library = UserData::empty();
        library.shortcuts.append(sig);
        writeLibrary(library);
        textFieldEvents = &events;
    }

    // The engine takes its field reports off the desktop's stream as it stops; the application
    // goes before the stream this fixture owns, not after it in the base fixture.
    ~FieldTypingStartUp() override { delegate.reset(); }

    void typeAndSettle(const QString& text)
    {
        field->type(text);
        scheduler.runDue();
        field->reportEdits();
        scheduler.runDue();
    }

    ReportedEvents events;
    std::shared_ptr<ReportingField> field = std::make_shared<ReportingField>();
};

TEST_F(FieldTypingStartUp, theEngineFollowsTheFieldsAndCountsExpansions)
{
    launchAndSettle();
    ASSERT_TRUE(engineRunning());
    EXPECT_EQ(engineStarts(), 0) << "no key is watched";
    typeAndSettle("Hi /sig");
    EXPECT_EQ(field->content, "Hi Best regards");
    EXPECT_EQ(state().stats().totalExpansions, 1);
}

TEST_F(FieldTypingStartUp, anApplicationThatCannotBeEditedIsNamedUntilAnExpansionSucceeds)
{
    launchAndSettle();
    field->current.offersEditing = false;
    typeAndSettle("/sig");
    EXPECT_EQ(desktop.trust.unreachableApplication(), "Notes");
    field->current.offersEditing = true;
    typeAndSettle(" /sig");
    EXPECT_TRUE(desktop.trust.unreachableApplication().isEmpty());
}

}
