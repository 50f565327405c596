#include "Views/Components/FolderIconView.h"

#include "Utilities/Theme.h"

#include <QFontMetrics>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

// What the view paints, on a transparent background.
QImage drawn(FolderIconView& view)
{
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    view.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

QImage drawn(const std::optional<QString>& icon, qreal size = 24, const QList<CustomIcon>& uploads = {})
{
    FolderIconView view(icon, size, uploads);
    return drawn(view);
}

QRect ink(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

const QString redSquare = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 10 10\"><rect "
                                         "width=\"10\" height=\"10\" fill=\"red\"/></svg>");

class FolderIconViewTest : public ::testing::Test {
protected:
    void TearDown() override { Theme::setAppearance(Appearance::light); }
};

} // namespace

TEST_F(FolderIconViewTest, OccupiesASquareOfItsSize)
{
    FolderIconView view(QStringLiteral("star"), 22, {});
    EXPECT_EQ(view.minimumSize(), QSize(22, 22));
    EXPECT_EQ(view.maximumSize(), QSize(22, 22));
}

TEST_F(FolderIconViewTest, NoKeyAnEmptyKeyAndFolderDrawTheSameFolder)
{
    const QImage folder = drawn(QStringLiteral("folder"));
    EXPECT_FALSE(ink(folder).isEmpty());
    EXPECT_EQ(drawn(std::nullopt), folder);
    EXPECT_EQ(drawn(QString()), folder);
}

TEST_F(FolderIconViewTest, ABuiltInKeyDrawsItsOwnIcon)
{
    EXPECT_NE(drawn(QStringLiteral("star")), drawn(QStringLiteral("folder")));
    EXPECT_NE(drawn(QStringLiteral("star")), drawn(QStringLiteral("heart")));
}

TEST_F(FolderIconViewTest, AnUploadIsASilhouetteInTheThemeTextColourWhateverItsOwnColours)
{
    const QList<CustomIcon> uploads = {{QStringLiteral("U1"), QStringLiteral("Red"), redSquare}};
    FolderIconView view(QStringLiteral("custom:U1"), 20, uploads);
    EXPECT_EQ(drawn(view).pixelColor(10, 10), Theme::palette(Appearance::light).text);
    Theme::setAppearance(Appearance::dark);
    EXPECT_EQ(drawn(view).pixelColor(10, 10), Theme::palette(Appearance::dark).text);
}

TEST_F(FolderIconViewTest, ACustomKeyWhoseUploadIsGoneDrawsTheFolder)
{
    const QImage folder = drawn(QStringLiteral("folder"));
    const QList<CustomIcon> uploads = {{QStringLiteral("U1"), QStringLiteral("Red"), redSquare}};
    EXPECT_EQ(drawn(QStringLiteral("custom:U2"), 24, uploads), folder);
    EXPECT_EQ(drawn(QStringLiteral("custom:"), 24, uploads), folder);
}

TEST_F(FolderIconViewTest, AnUploadThatDoesNotRenderDrawsTheFolder)
{
    const QList<CustomIcon> uploads
        = {{QStringLiteral("B1"), QStringLiteral("Broken"), QStringLiteral("<svg viewBox=\"0 0 24 24\"><path d=")},
            {QStringLiteral("B2"), QStringLiteral("Outside"),
                QStringLiteral(
                    "<svg viewBox=\"0 0 24 24\"><image width=\"24\" height=\"24\" href=\"/etc/hostname\"/></svg>")}};
    const QImage folder = drawn(QStringLiteral("folder"));
    EXPECT_EQ(drawn(QStringLiteral("custom:B1"), 24, uploads), folder);
    EXPECT_EQ(drawn(QStringLiteral("custom:B2"), 24, uploads), folder);
}

TEST_F(FolderIconViewTest, OtherTextIsDrawnAsTextAtNineTenthsOfTheSize)
{
    const QImage text = drawn(QStringLiteral("I"), 40);
    const QRect box = ink(text);
    ASSERT_FALSE(box.isEmpty());
    QFont font;
    font.setPixelSize(36);
    EXPECT_NEAR(box.height(), QFontMetrics(font).tightBoundingRect(QStringLiteral("I")).height(), 1);
    EXPECT_NEAR(box.center().x(), 20, 2);
    EXPECT_EQ(text.pixelColor(box.center()), Theme::text());
}

TEST_F(FolderIconViewTest, AnEmojiKeyIsDrawnAsText)
{
    const QImage emoji = drawn(QStringLiteral("\U0001F680"), 24);
    EXPECT_FALSE(ink(emoji).isEmpty());
    EXPECT_NE(emoji, drawn(QStringLiteral("folder")));
}

TEST_F(FolderIconViewTest, ASingleSpaceDrawsNothingVisible)
{
    EXPECT_TRUE(ink(drawn(QStringLiteral(" "))).isEmpty());
}

TEST_F(FolderIconViewTest, ChangingTheKeyRedraws)
{
    FolderIconView view(QStringLiteral("star"), 24, {});
    const QImage star = drawn(view);
    view.setIcon(QStringLiteral("heart"));
    EXPECT_EQ(drawn(view), drawn(QStringLiteral("heart")));
    view.setIcon(QStringLiteral("star"));
    EXPECT_EQ(drawn(view), star);
}

TEST_F(FolderIconViewTest, NewUploadsAreUsedOnceGiven)
{
    FolderIconView view(QStringLiteral("custom:U1"), 24, {});
    EXPECT_EQ(drawn(view), drawn(QStringLiteral("folder")));
    view.setCustomIcons({{QStringLiteral("U1"), QStringLiteral("Red"), redSquare}});
    EXPECT_EQ(drawn(view).pixelColor(12, 12), Theme::text());
}
