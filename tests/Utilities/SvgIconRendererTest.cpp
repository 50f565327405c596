#include "Utilities/SvgIconRenderer.h"

#include <gtest/gtest.h>

namespace {

QString svgOf(const QString& body, const QString& rootAttributes = QStringLiteral("viewBox=\"0 0 24 24\""))
{
    return QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" ")
        + rootAttributes + u'>' + body + QStringLiteral("</svg>");
}

const QString fullSquare = QStringLiteral("<path d=\"M0 0h24v24H0z\"/>");

int alphaAt(const QImage& mask, double x, double y)
{
    return qAlpha(mask.pixel(int(x * (mask.width() - 1)), int(y * (mask.height() - 1))));
}

} // namespace

TEST(SvgIconRenderer, RendersTheShapeAsCoverageAtTheBoundedSize)
{
    const QImage mask
        = SvgIconRenderer::render(svgOf(QStringLiteral("<path fill=\"currentColor\" d=\"M0 0h12v24H0z\"/>")));
    ASSERT_FALSE(mask.isNull());
    EXPECT_EQ(mask.format(), QImage::Format_Alpha8);
    EXPECT_EQ(mask.size(), QSize(SvgIconRenderer::maxPixelSize, SvgIconRenderer::maxPixelSize));
    EXPECT_EQ(alphaAt(mask, 0.25, 0.5), 255);
    EXPECT_EQ(alphaAt(mask, 0.75, 0.5), 0);
}

TEST(SvgIconRenderer, AnyFillColourGivesTheSameSilhouette)
{
    const QImage red
        = SvgIconRenderer::render(svgOf(QStringLiteral("<circle cx=\"12\" cy=\"12\" r=\"8\" fill=\"#ff0000\"/>")));
    const QImage inherited = SvgIconRenderer::render(svgOf(QStringLiteral("<circle cx=\"12\" cy=\"12\" r=\"8\"/>"),
        QStringLiteral("viewBox=\"0 0 24 24\" fill=\"currentColor\"")));
    ASSERT_FALSE(red.isNull());
    EXPECT_EQ(red, inherited);
}

TEST(SvgIconRenderer, AHugeDeclaredSizeIsRenderedSmallWithItsAspectKept)
{
    const QImage mask = SvgIconRenderer::render(
        svgOf(fullSquare, QStringLiteral("width=\"100000\" height=\"50000\" viewBox=\"0 0 48 24\"")));
    EXPECT_EQ(mask.size(), QSize(SvgIconRenderer::maxPixelSize, SvgIconRenderer::maxPixelSize / 2));
}

TEST(SvgIconRenderer, AnIconAtTheSizeLimitRendersAndOneByteMoreIsRefused)
{
    const QString start = QStringLiteral("<svg viewBox=\"0 0 24 24\">") + fullSquare + QStringLiteral("<!--");
    const QString end = QStringLiteral("--></svg>");
    const qsizetype padding = SvgIconRenderer::maxSvgBytes - start.size() - end.size();
    const QString atLimit = start + QString(padding, u'x') + end;
    ASSERT_EQ(atLimit.toUtf8().size(), SvgIconRenderer::maxSvgBytes);
    EXPECT_FALSE(SvgIconRenderer::render(atLimit).isNull());
    EXPECT_TRUE(SvgIconRenderer::render(start + QString(padding + 1, u'x') + end).isNull());
}

TEST(SvgIconRenderer, TheSizeLimitCountsBytesNotCharacters)
{
    const QString wide = QStringLiteral("<svg viewBox=\"0 0 24 24\">") + fullSquare + QStringLiteral("<!--")
        + QString(SvgIconRenderer::maxSvgBytes / 2, QChar(0x00E9)) + QStringLiteral("--></svg>");
    ASSERT_LT(wide.size(), SvgIconRenderer::maxSvgBytes);
    EXPECT_FALSE(SvgIconRenderer::isWithinSizeLimit(wide));
    EXPECT_TRUE(SvgIconRenderer::render(wide).isNull());
}

TEST(SvgIconRenderer, RefusesTextThatIsNotAWellFormedSvgDocument)
{
    EXPECT_TRUE(SvgIconRenderer::render(QString()).isNull());
    EXPECT_TRUE(SvgIconRenderer::render(QStringLiteral("not svg at all")).isNull());
    EXPECT_TRUE(
        SvgIconRenderer::render(QStringLiteral("<svg viewBox=\"0 0 24 24\"><path d=\"M0 0h24v24H0z\">")).isNull());
    EXPECT_TRUE(SvgIconRenderer::render(
        QStringLiteral("<html><svg viewBox=\"0 0 24 24\">") + fullSquare + QStringLiteral("</svg></html>"))
                    .isNull());
}

TEST(SvgIconRenderer, RefusesADocumentWithNothingToDraw)
{
    EXPECT_TRUE(SvgIconRenderer::render(QStringLiteral("<svg/>")).isNull());
    EXPECT_TRUE(SvgIconRenderer::render(svgOf(fullSquare, QStringLiteral("viewBox=\"0 0 24 0\""))).isNull());
}

TEST(SvgIconRenderer, RefusesDocumentTypeDeclarationsAndTheirEntities)
{
    const QString laughs
        = QStringLiteral(
              "<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">"
              "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">]><svg viewBox=\"0 0 24 24\"><title>&c;</title>")
        + fullSquare + QStringLiteral("</svg>");
    EXPECT_TRUE(SvgIconRenderer::render(laughs).isNull());
}

TEST(SvgIconRenderer, ReferencesOutsideTheDocumentAreNotFollowed)
{
    const QImage square = SvgIconRenderer::render(svgOf(fullSquare));
    for (const QString& target : {QStringLiteral("/etc/hostname"), QStringLiteral("file:///etc/hostname"),
             QStringLiteral("http://example.com/icon.png"), QStringLiteral("data:image/png;base64,iVBORw0KGgo=")}) {
        // The link goes and the rest of the icon draws as it would without it.
        EXPECT_EQ(SvgIconRenderer::render(svgOf(fullSquare + QStringLiteral("<image width=\"24\" height=\"24\" href=\"")
                      + target + QStringLiteral("\"/>"))),
            square)
            << target.toStdString();
        // An icon that was nothing but the outside image has nothing left to draw.
        EXPECT_TRUE(SvgIconRenderer::render(
            svgOf(QStringLiteral("<image width=\"24\" height=\"24\" xlink:href=\"") + target + QStringLiteral("\"/>")))
                        .isNull())
            << target.toStdString();
    }
}

TEST(SvgIconRenderer, ReferencesWithinTheDocumentAreAllowed)
{
    const QImage mask = SvgIconRenderer::render(
        svgOf(QStringLiteral("<defs><path id=\"half\" d=\"M0 0h12v24H0z\"/></defs><use href=\"#half\"/>"
                             "<use xlink:href=\"#half\" x=\"12\"/>")));
    ASSERT_FALSE(mask.isNull());
    EXPECT_EQ(alphaAt(mask, 0.25, 0.5), 255);
    EXPECT_EQ(alphaAt(mask, 0.75, 0.5), 255);
}
