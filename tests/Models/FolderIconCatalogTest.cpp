#include "Models/FolderIconCatalog.h"
#include "Utilities/SvgIconRenderer.h"

#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {

const QString squareSvg
    = QStringLiteral("<svg viewBox=\"0 0 24 24\"><path fill=\"#ff0000\" d=\"M0 0h24v24H0z\"/></svg>");

double coverage(const QImage& mask)
{
    qint64 sum = 0;
    for (int y = 0; y < mask.height(); ++y) {
        for (int x = 0; x < mask.width(); ++x)
            sum += qAlpha(mask.pixel(x, y));
    }
    return double(sum) / (255.0 * mask.width() * mask.height());
}

QStringList elementNames(const QString& svg)
{
    QStringList names;
    static const QRegularExpression tag(QStringLiteral("<(\\w+)"));
    for (auto it = tag.globalMatch(svg); it.hasNext();)
        names.append(it.next().captured(1));
    return names;
}

CustomIcon custom(const QString& id, const QString& svg)
{
    return CustomIcon{id, QStringLiteral("Icon ") + id, svg};
}

} // namespace

TEST(FolderIconCatalog, ListsTheBuiltInKeysInDisplayOrder)
{
    const QStringList expected = {"folder", "star", "heart", "bookmark", "flag", "tag", "archive", "box", "briefcase",
        "code", "terminal", "database", "globe", "mail", "file-text", "home", "music", "camera", "coffee", "book",
        "gift", "shopping-bag", "zap", "layers", "lock", "shield", "settings", "bell", "clock", "search", "image",
        "palette", "pin", "dollar", "users", "chart", "link", "upload", "download", "trophy", "fire", "cloud",
        "airplane", "diamond", "compass", "puzzle"};
    EXPECT_EQ(FolderIconCatalog::orderedKeys(), expected);
    EXPECT_EQ(FolderIconCatalog::icons().size(), 46);
    for (const QString& key : expected)
        EXPECT_TRUE(FolderIconCatalog::icons().contains(key)) << key.toStdString();
}

TEST(FolderIconCatalog, TheDefaultIsTheFolderArtwork)
{
    const QString folder = QStringLiteral(
        "<svg viewBox=\"0 0 24 24\" fill=\"currentColor\"><path d=\"M20 6h-8l-2-2H4c-1.1 0-2 .9-2 2v12c0 1.1.9 2 "
        "2 2h16c1.1 0 2-.9 2-2V8c0-1.1-.9-2-2-2z\"/></svg>");
    EXPECT_EQ(folder.size(), 147);
    EXPECT_EQ(FolderIconCatalog::defaultSVG(), folder);
    EXPECT_EQ(FolderIconCatalog::icons().value(QStringLiteral("folder")), folder);
}

TEST(FolderIconCatalog, EveryBuiltInIsAFilledGlyphInTheInheritedColour)
{
    static const QRegularExpression form(
        QStringLiteral("^<svg viewBox=\"0 0 24 24\" fill=\"currentColor\">(<(path|circle) [^<>]*/>)+</svg>$"));
    for (const QString& key : FolderIconCatalog::orderedKeys()) {
        const QString svg = FolderIconCatalog::icons().value(key);
        EXPECT_TRUE(form.match(svg).hasMatch()) << key.toStdString();
        EXPECT_FALSE(svg.contains(QLatin1String("stroke"))) << key.toStdString();
        EXPECT_FALSE(svg.contains(QLatin1String("fill=\"#"))) << key.toStdString();
        EXPECT_FALSE(svg.contains(QLatin1String("width"))) << key.toStdString();
    }
}

TEST(FolderIconCatalog, BoxCoffeeAndCameraAreMadeOfTwoShapes)
{
    const auto& icons = FolderIconCatalog::icons();
    EXPECT_EQ(elementNames(icons.value("box")), (QStringList{"svg", "path", "path"}));
    EXPECT_TRUE(icons.value("box").contains(QLatin1String("<path opacity=\".3\"")));
    EXPECT_EQ(elementNames(icons.value("coffee")), (QStringList{"svg", "path", "path"}));
    EXPECT_EQ(elementNames(icons.value("camera")), (QStringList{"svg", "circle", "path"}));
    for (const QString& key : FolderIconCatalog::orderedKeys()) {
        if (key != "box" && key != "coffee" && key != "camera") {
            EXPECT_EQ(elementNames(icons.value(key)), (QStringList{"svg", "path"})) << key.toStdString();
        }
    }
}

TEST(FolderIconCatalog, EveryBuiltInRendersItsOwnVisibleGlyph)
{
    QSet<QByteArray> masks;
    for (const QString& key : FolderIconCatalog::orderedKeys()) {
        const QImage mask = FolderIconCatalog::image(FolderIconCatalog::icons().value(key));
        ASSERT_FALSE(mask.isNull()) << key.toStdString();
        EXPECT_EQ(mask.size(), QSize(SvgIconRenderer::maxPixelSize, SvgIconRenderer::maxPixelSize));
        const double covered = coverage(mask);
        EXPECT_GT(covered, 0.1) << key.toStdString();
        EXPECT_LT(covered, 0.8) << key.toStdString();
        masks.insert(QByteArray(reinterpret_cast<const char*>(mask.constBits()), mask.sizeInBytes()));
    }
    EXPECT_EQ(masks.size(), 46);
}

TEST(FolderIconKeys, NoKeyAnEmptyKeyAndFolderAllMeanTheFolderIcon)
{
    for (const std::optional<QString>& key : {std::optional<QString>(), std::optional<QString>(QString()),
             std::optional<QString>(QStringLiteral("folder"))}) {
        EXPECT_EQ(FolderIconCatalog::resolvedSVG(key, {}), FolderIconCatalog::defaultSVG());
        EXPECT_EQ(FolderIconCatalog::textFallback(key), std::nullopt);
    }
}

TEST(FolderIconKeys, ABuiltInKeyIsMatchedExactly)
{
    EXPECT_EQ(FolderIconCatalog::resolvedSVG(QStringLiteral("star"), {}), FolderIconCatalog::icons().value("star"));
    EXPECT_EQ(FolderIconCatalog::textFallback(QStringLiteral("star")), std::nullopt);
    EXPECT_EQ(FolderIconCatalog::resolvedSVG(QStringLiteral("Star"), {}), std::nullopt);
    EXPECT_EQ(FolderIconCatalog::textFallback(QStringLiteral("Star")), QStringLiteral("Star"));
}

TEST(FolderIconKeys, ACustomKeyGivesTheFirstUploadWithThatId)
{
    const QList<CustomIcon> uploads = {custom("A1", "<svg a/>"), custom("B2", "<svg b/>"), custom("B2", "<svg c/>")};
    EXPECT_EQ(FolderIconCatalog::resolvedSVG(QStringLiteral("custom:B2"), uploads), QStringLiteral("<svg b/>"));
    EXPECT_EQ(FolderIconCatalog::textFallback(QStringLiteral("custom:B2")), std::nullopt);
}

TEST(FolderIconKeys, ACustomKeyWithoutItsUploadStandsForNothing)
{
    const QList<CustomIcon> uploads = {custom("A1", "<svg a/>")};
    for (const QString& key : {QStringLiteral("custom:gone"), QStringLiteral("custom:"), QStringLiteral("custom:a1")}) {
        EXPECT_EQ(FolderIconCatalog::resolvedSVG(key, uploads), std::nullopt) << key.toStdString();
        EXPECT_EQ(FolderIconCatalog::textFallback(key), std::nullopt) << key.toStdString();
    }
}

TEST(FolderIconKeys, AnyOtherTextIsShownAsText)
{
    for (const QString& key : {QStringLiteral("\U0001F680"), QStringLiteral(" "), QStringLiteral("Custom:A1")}) {
        EXPECT_EQ(FolderIconCatalog::resolvedSVG(key, {custom("A1", "<svg a/>")}), std::nullopt);
        EXPECT_EQ(FolderIconCatalog::textFallback(key), key);
    }
}

TEST(FolderIconCatalog, RendersEachSvgOnceForTheWholeProcess)
{
    const QImage first = FolderIconCatalog::image(squareSvg);
    const QImage second = FolderIconCatalog::image(QString(squareSvg));
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first.cacheKey(), second.cacheKey());
}

TEST(FolderIconCatalog, BrokenAndOversizedSvgGiveNoImage)
{
    EXPECT_TRUE(FolderIconCatalog::image(QStringLiteral("<svg viewBox=\"0 0 24 24\"><path")).isNull());
    EXPECT_TRUE(FolderIconCatalog::image(QStringLiteral("<svg viewBox=\"0 0 24 24\"><path")).isNull());
    const QString oversized = QStringLiteral("<svg viewBox=\"0 0 24 24\"><!--")
        + QString(SvgIconRenderer::maxSvgBytes, u'x') + QStringLiteral("--></svg>");
    EXPECT_TRUE(FolderIconCatalog::image(oversized).isNull());
}

TEST(FolderIconCatalog, TintingFillsTheShapeAndKeepsItsOpacity)
{
    QImage mask(3, 1, QImage::Format_Alpha8);
    uchar* alpha = mask.scanLine(0);
    alpha[0] = 255;
    alpha[1] = 0;
    alpha[2] = 128;
    const QColor color(0x1d, 0x1d, 0x1f);
    const QImage tinted = FolderIconCatalog::tinted(mask, color);
    EXPECT_EQ(tinted.pixelColor(0, 0), color);
    EXPECT_EQ(qAlpha(tinted.pixel(1, 0)), 0);
    EXPECT_EQ(qAlpha(tinted.pixel(2, 0)), 128);
    EXPECT_NEAR(tinted.pixelColor(2, 0).red(), color.red(), 2);
    EXPECT_TRUE(FolderIconCatalog::tinted(QImage(), color).isNull());
}
