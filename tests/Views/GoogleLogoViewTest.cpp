#include "Views/MenuBar/account/GoogleLogoView.h"

#include <QDir>
#include <QImage>
#include <gtest/gtest.h>

namespace {

TEST(GoogleLogoView, TheMarkIsRenderedFromTheTextCarriedInTheProgram)
{
    const QStringList before = QDir::temp().entryList(QDir::Files);

    const QImage& mark = GoogleLogoView::cachedImage();

    ASSERT_FALSE(mark.isNull());
    EXPECT_EQ(mark.width(), mark.height());
    EXPECT_EQ(QDir::temp().entryList(QDir::Files), before);
}

TEST(GoogleLogoView, TextThatIsNoDrawingGivesNoImage)
{
    EXPECT_TRUE(GoogleLogoView::render("<svg", 24).isNull());
    EXPECT_TRUE(GoogleLogoView::render("no drawing at all", 24).isNull());
}

} // namespace
