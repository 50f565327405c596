#include "Views/Components/ThemedMenu.h"
#include "FakeWindowEffects.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace {

void popUp(ThemedMenu& menu)
{
    menu.addAction(QStringLiteral("Open"));
    menu.addAction(QStringLiteral("Delete"));
    menu.popup(QPoint(40, 40));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
}

} // namespace

TEST(ThemedMenu, WithoutACompositorTheRoundedCornersAreCutFromTheWindow)
{
    ThemedMenu menu;
    popUp(menu);
    EXPECT_FALSE(menu.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_FALSE(menu.mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(menu.mask().contains(menu.rect().center()));
}

TEST(ThemedMenu, UnderACompositorTheCornersAreSeeThroughAndThePanelOpensWhereAsked)
{
    const FakeWindowEffects compositor(true, false);
    ThemedMenu menu;
    popUp(menu);
    EXPECT_TRUE(menu.mask().isEmpty());
    EXPECT_EQ(menu.mapToGlobal(menu.contentsRect().topLeft()), QPoint(40, 40));
    const QImage shown = menu.grab().toImage();
    EXPECT_EQ(shown.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(shown.pixelColor(shown.width() / 2, shown.height() / 2).alpha(), 255);
}

TEST(ThemedMenu, SubmenusOpenInTheSameLook)
{
    ThemedMenu menu;
    ThemedMenu* folders = menu.addThemedMenu(QStringLiteral("Move to Folder"));
    EXPECT_EQ(menu.actions().constLast()->menu(), folders);
    EXPECT_EQ(folders->style(), menu.style());
}

TEST(ThemedMenu, AnItemRunThroughItsAccessibleActionClosesTheMenuAndTheOneItOpenedFrom)
{
    ThemedMenu menu;
    menu.addAction(QStringLiteral("Open"));
    ThemedMenu* folders = menu.addThemedMenu(QStringLiteral("Move to Folder"));
    int moves = 0;
    QObject::connect(folders->addAction(QStringLiteral("Work")), &QAction::triggered, [&] { ++moves; });
    menu.popup(QPoint(40, 40));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    menu.setActiveAction(menu.actions().constLast());
    QTest::keyClick(&menu, Qt::Key_Right);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(folders));

    QAccessibleInterface* item = QAccessible::queryAccessibleInterface(folders)->child(0);
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(item->text(QAccessible::Name), QStringLiteral("Work"));
    item->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(moves, 1);
    EXPECT_FALSE(folders->isVisible());
    EXPECT_FALSE(menu.isVisible());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "a menu still holds the keyboard";
}
