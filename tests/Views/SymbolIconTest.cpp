#include "Views/Components/SymbolIcon.h"
#include "Utilities/Theme.h"
#include "Views/Components/SymbolButton.h"
#include "Views/Components/SymbolLabel.h"

#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QImage render(const QString& name, int side, const QColor& colour, SymbolWeight weight = SymbolWeight::regular)
{
    return SymbolIcon::pixmap(name, side, colour, weight).toImage().convertToFormat(QImage::Format_ARGB32);
}

qint64 ink(const QImage& image)
{
    qint64 total = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            total += qAlpha(image.pixel(x, y));
    }
    return total;
}

} // namespace

TEST(SymbolIcon, HasEverySymbolTheScreensName)
{
    const QStringList used = {"plus", "minus", "pencil", "pencil.tip", "trash", "chevron.left", "chevron.right",
        "chevron.down", "magnifyingglass", "ellipsis", "gearshape", "trophy", "trophy.fill", "chart.bar",
        "person.crop.circle", "keyboard", "lock", "lock.fill", "globe", "checkmark", "xmark", "xmark.circle.fill",
        "folder", "folder.fill", "folder.badge.plus", "folder.fill.badge.plus", "doc.on.doc", "doc.on.clipboard",
        "arrow.up.doc", "square.and.arrow.up", "square.and.arrow.up.fill", "square.and.arrow.down",
        "arrow.uturn.backward", "arrow.uturn.forward", "arrow.up", "arrow.down", "arrow.right",
        "arrow.counterclockwise", "arrow.down.circle.fill", "clock.arrow.circlepath", "exclamationmark.triangle",
        "exclamationmark.circle", "exclamationmark.circle.fill", "info.circle", "equal.circle", "text.badge.plus",
        "icloud", "checkmark.icloud", "internaldrive", "externaldrive.badge.exclamationmark", "desktopcomputer",
        "macbook.and.iphone", "g.circle", "play.circle", "hand.raised", "power", "questionmark", "1.circle.fill",
        "2.circle.fill", "3.circle.fill", "4.circle.fill", "5.circle.fill", "6.circle.fill", "bolt.fill",
        "paperplane.fill", "rosette", "crown.fill", "clock.fill", "sun.max.fill", "calendar", "hourglass",
        "bookmark.fill", "square.stack.3d.up.fill", "books.vertical.fill", "archivebox.fill", "list.bullet.indent",
        "paintbrush.fill", "photo.fill", "photo.stack.fill", "flame.fill", "medal.fill", "checkmark.square.fill",
        "cup.and.saucer.fill", "moon.stars.fill", "gauge.high"};
    for (const QString& name : used)
        EXPECT_TRUE(SymbolIcon::contains(name)) << qPrintable(name);
    EXPECT_EQ(SymbolIcon::names().size(), used.size()) << "every drawing is one the screens use";
}

TEST(SymbolIcon, EveryDrawingIsAValidTwentyFourGridInBlackAndWhiteOnly)
{
    static const QRegularExpression colours(QStringLiteral("(?:fill|stroke)=\"([^\"]*)\""));
    for (const QString& name : SymbolIcon::names()) {
        QFile file(QStringLiteral(":/symbols/%1.svg").arg(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(name);
        const QByteArray svg = file.readAll();
        QSvgRenderer renderer(svg);
        EXPECT_TRUE(renderer.isValid()) << qPrintable(name);
        EXPECT_EQ(renderer.viewBoxF(), QRectF(0, 0, 24, 24)) << qPrintable(name);
        for (auto it = colours.globalMatch(QString::fromUtf8(svg)); it.hasNext();) {
            const QString colour = it.next().captured(1);
            EXPECT_TRUE(colour == u"#000" || colour == u"#fff" || colour == u"none")
                << qPrintable(name) << " uses " << qPrintable(colour);
        }
    }
}

TEST(SymbolIcon, AnUnknownNameDrawsNothing)
{
    EXPECT_FALSE(SymbolIcon::contains(u"no.such.symbol"));
    EXPECT_TRUE(SymbolIcon::pixmap(u"no.such.symbol", 16, Qt::black).isNull());
    EXPECT_TRUE(SymbolIcon::icon(QStringLiteral("no.such.symbol"), &Theme::text).isNull());

    QImage canvas(32, 32, QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    SymbolIcon::paint(painter, QRectF(0, 0, 32, 32), u"no.such.symbol", Qt::black);
    painter.end();
    EXPECT_EQ(ink(canvas), 0);
}

TEST(SymbolIcon, DrawsOnlyInTheColourItIsGiven)
{
    const QColor orange(0xE2, 0x72, 0x5B);
    const QImage image = render(QStringLiteral("gearshape"), 32, orange);

    ASSERT_GT(ink(image), 0);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() < 64)
                continue;
            EXPECT_NEAR(pixel.red(), orange.red(), 4);
            EXPECT_NEAR(pixel.green(), orange.green(), 4);
            EXPECT_NEAR(pixel.blue(), orange.blue(), 4);
        }
    }
}

TEST(SymbolIcon, WhiteInADrawingCutsThroughTheInk)
{
    const QImage image = render(QStringLiteral("xmark.circle.fill"), 48, Qt::black);

    EXPECT_EQ(qAlpha(image.pixel(24, 24)), 0) << "the cross shows what lies behind";
    EXPECT_EQ(qAlpha(image.pixel(24, 8)), 255) << "the disc around it is ink";
    EXPECT_EQ(qAlpha(image.pixel(1, 1)), 0);
}

TEST(SymbolIcon, HeavierWeightsDrawThickerStrokes)
{
    const qint64 light = ink(render(QStringLiteral("checkmark"), 48, Qt::black, SymbolWeight::light));
    const qint64 regular = ink(render(QStringLiteral("checkmark"), 48, Qt::black, SymbolWeight::regular));
    const qint64 semibold = ink(render(QStringLiteral("checkmark"), 48, Qt::black, SymbolWeight::semibold));

    EXPECT_LT(light, regular);
    EXPECT_LT(regular, semibold);
}

TEST(SymbolIcon, IsSizedToTheTextBesideIt)
{
    EXPECT_EQ(SymbolIcon::sideFor(13), 16);
    EXPECT_EQ(SymbolIcon::sideFor(12), 15);
    EXPECT_EQ(SymbolIcon::sideFor(28), 35);
    EXPECT_EQ(SymbolIcon::pixmap(u"plus", 16, Qt::black, SymbolWeight::regular, 2.0).size(), QSize(32, 32));
}

TEST(SymbolIcon, MenuIconsFollowTheAppearanceAndFadeWhenDisabled)
{
    const QIcon icon = SymbolIcon::icon(QStringLiteral("plus"), &Theme::text);
    auto centre = [&](QIcon::Mode mode) {
        return icon.pixmap(QSize(24, 24), mode).toImage().convertToFormat(QImage::Format_ARGB32).pixelColor(12, 12);
    };

    Theme::setAppearance(Appearance::dark);
    const QColor inDark = centre(QIcon::Normal);
    Theme::setAppearance(Appearance::light);
    const QColor inLight = centre(QIcon::Normal);

    EXPECT_EQ(inDark.rgb(), QColor(Qt::white).rgb());
    EXPECT_EQ(inLight.rgb(), Theme::text().rgb());
    EXPECT_LT(centre(QIcon::Disabled).alpha(), inLight.alpha());
}

TEST(SymbolButton, ACircularButtonTakesClicksOnlyInsideItsCircle)
{
    SymbolButton button(QStringLiteral("xmark"), 10, SymbolWeight::medium, &Theme::textMuted, QSize(24, 24));
    button.setCircleFill(&Theme::surfaceGlass);
    button.show();
    int clicks = 0;
    QObject::connect(&button, &SymbolButton::clicked, [&] { ++clicks; });

    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(clicks, 0);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(12, 12));
    EXPECT_EQ(clicks, 1);
}

TEST(SymbolButton, ASquareButtonTakesClicksOverItsWholeFrame)
{
    SymbolButton button(QStringLiteral("pencil"), 12, SymbolWeight::regular, &Theme::textMuted, QSize(24, 24));
    button.show();
    int clicks = 0;
    QObject::connect(&button, &SymbolButton::clicked, [&] { ++clicks; });

    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(1, 1));

    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button.size(), QSize(24, 24));
}

TEST(SymbolLabel, TakesTheSquareOfItsTextSizeAndIgnoresThePointer)
{
    SymbolLabel label(QStringLiteral("magnifyingglass"), 12, SymbolWeight::regular, &Theme::textMuted);

    EXPECT_EQ(label.sizeHint(), QSize(15, 15));
    EXPECT_TRUE(label.testAttribute(Qt::WA_TransparentForMouseEvents));
}
