#include "Views/Components/ThemedMenu.h"
#include "FakeWindowEffects.h"

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
