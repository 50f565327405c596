#include <gtest/gtest.h>

#include "DesktopSession.h"
#include "TextFieldsApp.h"
#include "platform/linux/AtspiAccessibility.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

namespace {

class AtspiFields : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QString missing = DesktopSession::missingPieces(); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        ASSERT_TRUE(app.start());
        ASSERT_TRUE(accessibility.start());
    }

    // The focused element of the process once the focus event has come in.
    std::shared_ptr<AccessibleElement> focusedIn(qint64 process)
    {
        std::shared_ptr<AccessibleElement> element;
        DesktopSession::waitFor([&] {
            element = accessibility.focusedElement(process);
            return element != nullptr;
        });
        if (element)
            element->setMessagingTimeout(0.03);
        return element;
    }

    std::shared_ptr<AccessibleElement> focusField(const QString& field)
    {
        if (!app.focus(field))
            return nullptr;
        std::shared_ptr<AccessibleElement> element;
        // The focus event names the new field shortly after the widget took the focus.
        DesktopSession::waitFor([&] {
            element = focusedIn(app.processId());
            return element && element->kind().has_value() && app.state().value("focus").toString() == field;
        });
        return element;
    }

    TextFieldsApp app;
    AtspiAccessibility accessibility;
};

TEST_F(AtspiFields, aFocusedLineEditIsAnEnabledEditableSingleLineFieldWithItsCaret)
{
    ASSERT_TRUE(app.setText("line", "hello"));
    std::shared_ptr<AccessibleElement> field = focusField("line");
    ASSERT_TRUE(field);
    EXPECT_EQ(field->kind(), FieldKind::singleLine);
    EXPECT_EQ(field->isEnabled(), true);
    EXPECT_EQ(field->isEditable(), true);
    EXPECT_EQ(field->selectedRange(), (TextRange{5, 0}));
    EXPECT_EQ(field->textIn(TextRange{1, 3}), QStringLiteral("ell"));
    EXPECT_FALSE(accessibility.isSecureEventInputEnabled());
}

TEST_F(AtspiFields, theFocusedFieldIsFoundByItsProcessAndNoOtherOne)
{
    ASSERT_TRUE(focusField("line"));
    const std::shared_ptr<AccessibleElement> focused = accessibility.focusedElement(app.processId());
    ASSERT_TRUE(focused);
    EXPECT_TRUE(focused->isEqual(*focusedIn(app.processId())));
    EXPECT_FALSE(accessibility.focusedElement(app.processId() + 100000));
}

TEST_F(AtspiFields, aMultiLineFieldIsMultiLine)
{
    std::shared_ptr<AccessibleElement> area = focusField("area");
    ASSERT_TRUE(area);
    EXPECT_EQ(area->kind(), FieldKind::multiLine);
}

TEST_F(AtspiFields, aPasswordFieldIsASecureTextFieldAndTurnsSecureInputOn)
{
    std::shared_ptr<AccessibleElement> password = focusField("password");
    ASSERT_TRUE(password);
    EXPECT_EQ(password->kind(), FieldKind::password);
    EXPECT_TRUE(accessibility.isSecureEventInputEnabled());
}

TEST_F(AtspiFields, aFieldThatLostTheFocusIsNoLongerTheFocusedOne)
{
    std::shared_ptr<AccessibleElement> line = focusField("line");
    std::shared_ptr<AccessibleElement> area = focusField("area");
    ASSERT_TRUE(line && area);
    EXPECT_FALSE(line->isEqual(*area));
    EXPECT_TRUE(area->isEqual(*focusedIn(app.processId())));
}

TEST_F(AtspiFields, rangesCountUtf16UnitsInAQtField)
{
    // "a", a character outside the BMP (two UTF-16 units), "bc".
    const QString text = QStringLiteral("a\U0001F600bc");
    ASSERT_TRUE(app.setText("line", text));
    std::shared_ptr<AccessibleElement> field = focusField("line");
    ASSERT_TRUE(field);
    EXPECT_EQ(field->selectedRange(), (TextRange{5, 0}));
    EXPECT_EQ(field->textIn(TextRange{1, 3}), QStringLiteral("\U0001F600b"));
    EXPECT_FALSE(field->textIn(TextRange{2, 1}).has_value());

    ASSERT_TRUE(field->select(TextRange{3, 2}));
    EXPECT_EQ(app.state().value("selectionStart").toInt(), 3);
    EXPECT_EQ(app.state().value("selectionLength").toInt(), 2);
    ASSERT_TRUE(field->select(TextRange{3, 0}));
    EXPECT_EQ(app.state().value("cursor").toInt(), 3);
    EXPECT_EQ(app.state().value("selectionLength").toInt(), 0);
    EXPECT_EQ(field->selectedRange(), (TextRange{3, 0}));
}

TEST_F(AtspiFields, rangesCountUtf16UnitsInAGtkField)
{
    QProcess zenity;
    zenity.start(QStringLiteral("zenity"), {"--entry", "--text=Say", QStringLiteral("--entry-text=a\U0001F600bc")});
    ASSERT_TRUE(zenity.waitForStarted(5000));
    ASSERT_TRUE(DesktopSession::focusWindowOf(zenity.processId()));
    std::shared_ptr<AccessibleElement> field;
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] {
            field = accessibility.focusedElement(zenity.processId());
            return field && field->kind() == FieldKind::singleLine;
        },
        10000));
    ASSERT_TRUE(field->select(TextRange{5, 0}));
    EXPECT_EQ(field->selectedRange(), (TextRange{5, 0}));
    EXPECT_EQ(field->textIn(TextRange{1, 3}), QStringLiteral("\U0001F600b"));
    ASSERT_TRUE(field->select(TextRange{1, 3}));
    EXPECT_EQ(field->selectedRange(), (TextRange{1, 3}));
    zenity.kill();
    zenity.waitForFinished(3000);
}

TEST_F(AtspiFields, aHungApplicationIsGivenUpOnAfterTheTimeout)
{
    std::shared_ptr<AccessibleElement> field = focusField("line");
    ASSERT_TRUE(field);
    ASSERT_TRUE(app.command("hang 600").value("ok").toBool());
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(field->selectedRange().has_value());
    EXPECT_LT(timer.elapsed(), 200);
    DesktopSession::pause(700);
}

TEST_F(AtspiFields, aFieldKeepsTheFocusItHadWhenAnotherApplicationAnnouncedOneWhileItsOwnDidNotAnswer)
{
    TextFieldsApp other;
    ASSERT_TRUE(other.start());
    ASSERT_TRUE(DesktopSession::focusWindowOf(app.processId()));
    ASSERT_TRUE(focusField("line"));
    // Another application announces a focus in its window, which is not the active one, as the
    // field's application stops answering for a while (it is busy, or stopped): asked now, the
    // field's application cannot say where its focus is.
    ASSERT_TRUE(other.command("announce-focus line").value("ok").toBool());
    DesktopSession::pause(300);
    ASSERT_TRUE(app.command("hang 1500").value("ok").toBool());
    accessibility.focusedElement(app.processId());
    // Once it answers again, its field is the focused one: it had never lost the focus, and
    // announces nothing.
    std::shared_ptr<AccessibleElement> field;
    EXPECT_TRUE(DesktopSession::waitFor(
        [&] {
            field = accessibility.focusedElement(app.processId());
            return field != nullptr;
        },
        5000));
    EXPECT_EQ(app.state().value("focus").toString(), QStringLiteral("line"));
}

TEST(AtspiLateApplication, anApplicationStartedLaterIsFoundWithTheFocusItHadFromTheStart)
{
    if (QString missing = DesktopSession::missingPieces(); !missing.isEmpty())
        GTEST_SKIP() << missing.toStdString();
    AtspiAccessibility accessibility;
    ASSERT_TRUE(accessibility.start());
    TextFieldsApp app;
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(app.setText("line", "early"));
    std::shared_ptr<AccessibleElement> field;
    ASSERT_TRUE(DesktopSession::waitFor([&] {
        field = accessibility.focusedElement(app.processId());
        return field != nullptr;
    }));
    EXPECT_EQ(field->textIn(TextRange{0, 5}), QStringLiteral("early"));
}

TEST_F(AtspiFields, thisProcessIsNeverAskedAboutItself)
{
    EXPECT_EQ(accessibility.focusedElement(QCoreApplication::applicationPid()), nullptr);
}

}
