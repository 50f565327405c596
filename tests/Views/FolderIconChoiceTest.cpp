#include "App/State/PopoverCommands.h"
#include "ChooserFixture.h"

#include "Models/FolderIconCatalog.h"
#include "Views/Components/FolderIconView.h"
#include "Views/MenuBar/chooser/IconUploadContent.h"
#include "Views/MenuBar/forms/FolderFormView.h"
#include "Views/MenuBar/shell/StandardScreens.h"

#include <QAbstractButton>

namespace {

// The folder editor as the popover builds it, with the icon chooser behind its icon row.
class FolderIconChoiceTest : public ChooserTest {
protected:
    FolderFormView* form = nullptr;
    std::unique_ptr<PopoverCommands> commands;

    void openEditor(const PopoverScreen& screen)
    {
        const ScreenBinding binding([screen] { return screen; }, [](const PopoverScreen&) {});
        commands = std::make_unique<PopoverCommands>(*state, PopoverCommands::WindowActions{});
        QWidget* built = standardPopoverScreens().build(PopoverScreenContext{*state, screen, binding, *commands});
        form = qobject_cast<FolderFormView*>(built);
        ASSERT_NE(form, nullptr);
        form->setParent(editor.get());
        form->setGeometry(editor->rect());
        form->show();
        QApplication::processEvents();
    }

    IconChooserSheet* chooseIcon()
    {
        for (QAbstractButton* button : form->findChildren<QAbstractButton*>()) {
            if (button->accessibleName() == QStringLiteral("Choose folder icon")) {
                QTest::mouseClick(button, Qt::LeftButton);
                chooser = form->findChild<IconChooserSheet*>();
                return chooser;
            }
        }
        ADD_FAILURE() << "no icon row";
        return nullptr;
    }
};

} // namespace

TEST_F(FolderIconChoiceTest, TheIconRowOpensTheChooserOverTheEditorAndAPickBecomesTheFolderIcon)
{
    openEditor(PopoverScreen::newFolder());
    ASSERT_NE(chooseIcon(), nullptr);
    EXPECT_TRUE(form->showingIconChooser());
    EXPECT_EQ(chooser->geometry(), form->rect());
    EXPECT_EQ(chooser->initial(), std::nullopt);
    clickTile(chooser->iconGrid(), indexOf(chooser->iconGrid(), QStringLiteral("briefcase")));
    EXPECT_TRUE(closed());
    EXPECT_FALSE(form->showingIconChooser());
    EXPECT_EQ(form->selectedIconKey(), QStringLiteral("briefcase"));
    EXPECT_EQ(form->findChild<FolderIconView*>()->icon(), QStringLiteral("briefcase"));
}

TEST_F(FolderIconChoiceTest, EscapeInTheChooserLeavesTheEditorAndItsIconAlone)
{
    const std::optional<QString> id = state->addGroup(
        QStringLiteral("Work"), std::nullopt, QStringLiteral("star"), std::nullopt, QStringLiteral("private"));
    ASSERT_TRUE(id);
    openEditor(PopoverScreen::editFolder(state->userData().groups.first()));
    ASSERT_NE(chooseIcon(), nullptr);
    EXPECT_EQ(chooser->initial(), QStringLiteral("star"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(closed());
    EXPECT_FALSE(form->showingIconChooser());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->selectedIconKey(), QStringLiteral("star"));
}

TEST_F(FolderIconChoiceTest, DeletingTheFolderUploadInTheChooserClearsTheEditorIcon)
{
    const std::optional<QString> upload = state->addCustomIcon(
        QStringLiteral("Logo"), QStringLiteral("<svg viewBox=\"0 0 24 24\"><path d=\"M2 2h20v20H2z\"/></svg>"));
    ASSERT_TRUE(upload);
    const QString key = FolderIconCatalog::customPrefix + *upload;
    ASSERT_TRUE(state->addGroup(QStringLiteral("Work"), std::nullopt, key, std::nullopt, QStringLiteral("private")));
    openEditor(PopoverScreen::editFolder(state->userData().groups.first()));
    ASSERT_NE(chooseIcon(), nullptr);
    chooser->setTab(IconChooserSheet::Tab::upload);
    chooser->uploadContent()->deleteIcon(*upload);
    EXPECT_FALSE(closed());
    EXPECT_EQ(form->selectedIconKey(), std::nullopt);
    EXPECT_EQ(state->userData().groups.first().icon, key) << "the saved folder changes only when the editor saves";
}
