#include "Utilities/SvgSanitizer.h"

#include <QStringEncoder>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

using Refusal = SvgSanitizer::Refusal;

const QString square = QStringLiteral("<path d=\"M2 2h20v20H2z\"/>");

QString svgOf(const QString& body, const QString& rootAttributes = QString())
{
    return QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                          "viewBox=\"0 0 24 24\"")
        + rootAttributes + u'>' + body + QStringLiteral("</svg>");
}

// What a cleaned document holds: its element names and "element@attribute" pairs.
struct Outline {
    QStringList elements;
    QStringList attributes;
    QString text;
};

Outline outline(const QString& svg)
{
    Outline result;
    QXmlStreamReader reader(svg);
    reader.setNamespaceProcessing(false);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            result.elements.append(reader.qualifiedName().toString());
            for (const QXmlStreamAttribute& attribute : reader.attributes())
                result.attributes.append(
                    reader.qualifiedName() + u'@' + attribute.qualifiedName() + u'=' + attribute.value());
        } else if (reader.isCharacters()) {
            result.text += reader.text();
        }
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    return result;
}

QString accepted(const QString& svg)
{
    const SvgSanitizer::Result result = SvgSanitizer::sanitize(svg);
    EXPECT_TRUE(result.accepted()) << svg.left(200).toStdString();
    return result.svg;
}

std::optional<Refusal> refusalOf(const QString& svg)
{
    return SvgSanitizer::sanitize(svg).refusal;
}

// A document padded with a comment to exactly `bytes` bytes of UTF-8.
QString paddedTo(qsizetype bytes)
{
    const QString start = svgOf(square).chopped(6) + QStringLiteral("<!--");
    const QString end = QStringLiteral("--></svg>");
    return start + QString(bytes - start.toUtf8().size() - end.size(), u'x') + end;
}

} // namespace

TEST(SvgSanitizer, APlainIconIsAcceptedWithItsDrawingIntact)
{
    const Outline result
        = outline(accepted(svgOf(square + QStringLiteral("<circle cx=\"12\" cy=\"12\" r=\"4\" fill=\"red\"/>"))));
    EXPECT_EQ(result.elements, (QStringList{"svg", "path", "circle"}));
    EXPECT_TRUE(result.attributes.contains(QStringLiteral("svg@viewBox=0 0 24 24")));
    EXPECT_TRUE(result.attributes.contains(QStringLiteral("path@d=M2 2h20v20H2z")));
    EXPECT_TRUE(result.attributes.contains(QStringLiteral("circle@fill=red")));
}

TEST(SvgSanitizer, TheSizeLimitIs512KiBOfUtf8)
{
    EXPECT_TRUE(SvgSanitizer::sanitize(paddedTo(SvgSanitizer::maxBytes)).accepted());
    EXPECT_EQ(refusalOf(paddedTo(SvgSanitizer::maxBytes + 1)), Refusal::tooLarge);
    EXPECT_EQ(SvgSanitizer::sanitizeBytes(paddedTo(SvgSanitizer::maxBytes + 1).toUtf8()).refusal, Refusal::tooLarge);
    // Two bytes a character: fewer characters than the limit, more bytes.
    const QString wide = svgOf(
        square + QStringLiteral("<!--") + QString(SvgSanitizer::maxBytes / 2, QChar(0x00E9)) + QStringLiteral("-->"));
    ASSERT_LT(wide.size(), SvgSanitizer::maxBytes);
    EXPECT_EQ(refusalOf(wide), Refusal::tooLarge);
}

TEST(SvgSanitizer, BytesMustBeUtf8)
{
    QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    const QByteArray wide = utf16(svgOf(square));
    EXPECT_EQ(SvgSanitizer::sanitizeBytes(wide).refusal, Refusal::notUtf8);
    QByteArray broken = svgOf(square).toUtf8();
    broken.insert(broken.indexOf("<path"), "\xff\xfe");
    EXPECT_EQ(SvgSanitizer::sanitizeBytes(broken).refusal, Refusal::notUtf8);
    // A byte-order mark before UTF-8 is fine.
    EXPECT_TRUE(SvgSanitizer::sanitizeBytes(QByteArray("\xef\xbb\xbf").append(svgOf(square).toUtf8())).accepted());
}

TEST(SvgSanitizer, TextWithoutAnSvgRootIsNoSvg)
{
    for (const QString& text : QStringList{QString(), QStringLiteral("   "), QStringLiteral("just some words"),
             QStringLiteral("{\"svg\": true}"),
             QStringLiteral("<html><svg viewBox=\"0 0 24 24\">") + square + QStringLiteral("</svg></html>"),
             QStringLiteral("<SVG viewBox=\"0 0 24 24\">") + square + QStringLiteral("</SVG>")})
        EXPECT_EQ(refusalOf(text), Refusal::notSvg) << text.toStdString();
}

TEST(SvgSanitizer, AnSvgThatBreaksOffIsMalformed)
{
    EXPECT_EQ(refusalOf(QStringLiteral("<svg viewBox=\"0 0 24 24\"><path d=\"M2 2h20v20H2z\">")), Refusal::malformed);
    EXPECT_EQ(refusalOf(QStringLiteral("<svg viewBox=\"0 0 24 24\"><g></svg>")), Refusal::malformed);
    EXPECT_EQ(refusalOf(svgOf(square) + QStringLiteral("<svg/>")), Refusal::malformed);
    EXPECT_EQ(refusalOf(svgOf(QStringLiteral("<title>&nbsp;</title>") + square)), Refusal::malformed);
}

TEST(SvgSanitizer, DocumentTypesAndEntityDeclarationsAreRefused)
{
    const QString laughs = QStringLiteral("<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
                                          "\"&a;&a;&a;&a;&a;&a;&a;&a;\">]>")
        + svgOf(QStringLiteral("<title>&b;</title>") + square);
    EXPECT_EQ(refusalOf(laughs), Refusal::declarations);
    const QString external = QStringLiteral("<!DOCTYPE svg [<!ENTITY host SYSTEM \"file:///etc/hostname\">]>")
        + svgOf(QStringLiteral("<title>&host;</title>") + square);
    EXPECT_EQ(refusalOf(external), Refusal::declarations);
    const QString publicType = QStringLiteral("<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
                                              "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">")
        + svgOf(square);
    EXPECT_EQ(refusalOf(publicType), Refusal::declarations);
}

TEST(SvgSanitizer, ADocumentWithoutAnAreaToDrawInIsRefused)
{
    EXPECT_EQ(refusalOf(QStringLiteral("<svg/>")), Refusal::notDrawable);
    EXPECT_EQ(refusalOf(QStringLiteral("<svg viewBox=\"0 0 0 24\">") + square + QStringLiteral("</svg>")),
        Refusal::notDrawable);
}

TEST(SvgSanitizer, NestingDeeperThanTheLimitIsRefused)
{
    auto nested = [](int depth) {
        return svgOf(QStringLiteral("<g>").repeated(depth - 1) + square + QStringLiteral("</g>").repeated(depth - 1));
    };
    EXPECT_TRUE(SvgSanitizer::sanitize(nested(SvgSanitizer::maxDepth - 1)).accepted());
    EXPECT_EQ(refusalOf(nested(SvgSanitizer::maxDepth + 1)), Refusal::notDrawable);
    EXPECT_EQ(refusalOf(nested(20000)), Refusal::notDrawable);
}

TEST(SvgSanitizer, ADocumentLeftWithNothingToDrawIsBlank)
{
    EXPECT_EQ(refusalOf(svgOf(QStringLiteral("<image width=\"24\" height=\"24\" href=\"http://example.com/a.png\"/>"))),
        Refusal::blank);
    EXPECT_EQ(refusalOf(svgOf(QStringLiteral("<script>draw()</script>"))), Refusal::blank);
    EXPECT_EQ(refusalOf(svgOf(QString())), Refusal::blank);
}

TEST(SvgSanitizer, ScriptsAndForeignContentAreRemovedWithEverythingInside)
{
    const Outline result
        = outline(accepted(svgOf(QStringLiteral("<script type=\"text/javascript\">alert(1)</script>") + square
            + QStringLiteral("<foreignObject width=\"24\" height=\"24\"><div xmlns=\"http://www.w3.org/1999/xhtml\">"
                             "<iframe src=\"http://example.com\"/>hi</div></foreignObject>"
                             "<svg:script xmlns:svg=\"http://www.w3.org/2000/svg\">alert(2)</svg:script>"
                             "<SCRIPT>alert(3)</SCRIPT><handler type=\"application/ecmascript\">alert(4)</handler>"
                             "<g><script><![CDATA[alert(5)]]></script><path d=\"M0 0h1v1z\"/></g>"))));
    EXPECT_EQ(result.elements, (QStringList{"svg", "path", "g", "path"}));
    EXPECT_FALSE(result.text.contains(QStringLiteral("alert")));
    EXPECT_FALSE(result.text.contains(QStringLiteral("hi")));
}

TEST(SvgSanitizer, EventAttributesAreRemoved)
{
    const Outline result = outline(accepted(
        svgOf(QStringLiteral("<path d=\"M2 2h20v20H2z\" onclick=\"steal()\" ONMOUSEOVER=\"steal()\" ev:onfocusin=\"x\" "
                             "fill=\"black\"/>"),
            QStringLiteral(" onload=\"steal()\""))));
    for (const QString& attribute : result.attributes)
        EXPECT_FALSE(attribute.contains(QStringLiteral("@on"), Qt::CaseInsensitive)
            || attribute.contains(QStringLiteral(":on"), Qt::CaseInsensitive))
            << attribute.toStdString();
    EXPECT_TRUE(result.attributes.contains(QStringLiteral("path@fill=black")));
}

TEST(SvgSanitizer, LinksLeaveTheDocumentOnlyToAnIdWithinIt)
{
    const Outline result = outline(
        accepted(svgOf(QStringLiteral("<defs><path id=\"half\" d=\"M0 0h12v24H0z\"/></defs>"
                                      "<use href=\"#half\"/><use xlink:href=\" #half\" x=\"12\"/>"
                                      "<use href=\"other.svg#half\"/><use xlink:href=\"file:///etc/passwd#x\"/>"
                                      "<image width=\"24\" height=\"24\" href=\"data:image/png;base64,iVBORw0KGgo=\"/>"
                                      "<image width=\"24\" height=\"24\" xlink:href=\"/etc/hostname\"/>"
                                      "<a href=\"javascript:steal()\"><path d=\"M0 0h1v1z\"/></a>"))));
    const QStringList links = result.attributes.filter(QStringLiteral("href="));
    EXPECT_EQ(links, (QStringList{"use@href=#half", "use@xlink:href= #half"}));
    EXPECT_EQ(result.elements.count(QStringLiteral("use")), 4);
    EXPECT_EQ(result.elements.count(QStringLiteral("image")), 2);
}

TEST(SvgSanitizer, PaintAndStylesMayOnlyReferToTheDocumentItself)
{
    const Outline result = outline(
        accepted(svgOf(QStringLiteral("<defs><linearGradient id=\"g\"><stop offset=\"0\"/></linearGradient></defs>"
                                      "<path d=\"M2 2h20v20H2z\" fill=\"url(#g)\"/>"
                                      "<path d=\"M2 2h9v9H2z\" fill=\"url( 'http://example.com/paint.svg#g' )\"/>"
                                      "<path d=\"M2 2h5v5H2z\" style=\"fill: url(http://example.com/p.svg#g)\"/>"
                                      "<style>path { fill: black; }</style>"
                                      "<style>@import url(http://example.com/theme.css);</style>"
                                      "<style>path { fill: URL(file:///etc/x#y); }</style>"))));
    EXPECT_TRUE(result.attributes.contains(QStringLiteral("path@fill=url(#g)")));
    EXPECT_EQ(result.attributes.filter(QStringLiteral("example.com")), QStringList());
    EXPECT_EQ(result.elements.count(QStringLiteral("style")), 1);
    EXPECT_TRUE(result.text.contains(QStringLiteral("fill: black")));
    EXPECT_FALSE(result.text.contains(QStringLiteral("import")));
}

TEST(SvgSanitizer, AnimationsCannotPutALinkBack)
{
    const Outline result = outline(accepted(svgOf(square
        + QStringLiteral("<use href=\"#a\"><set attributeName=\"href\" to=\"http://example.com/x.svg#a\"/>"
                         "<animate attributeName=\"xlink:href\" values=\"http://example.com/x.svg#a\"/>"
                         "<animate attributeName=\"opacity\" values=\"0;1\" dur=\"1s\"/></use>"))));
    EXPECT_EQ(result.elements, (QStringList{"svg", "path", "use", "animate"}));
}

TEST(SvgSanitizer, CommentsAndProcessingInstructionsGo)
{
    const QString cleaned
        = accepted(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                  "<?xml-stylesheet href=\"http://example.com/s.css\"?><!-- made by hand -->")
            + svgOf(QStringLiteral("<!-- inside -->") + square));
    EXPECT_FALSE(cleaned.contains(QStringLiteral("<?")));
    EXPECT_FALSE(cleaned.contains(QStringLiteral("<!--")));
    EXPECT_TRUE(cleaned.startsWith(QStringLiteral("<svg")));
}

TEST(SvgSanitizer, AnUndeclaredXlinkPrefixIsAccepted)
{
    const QString handWritten
        = QStringLiteral("<svg viewBox=\"0 0 24 24\"><defs><path id=\"p\" d=\"M2 2h20v20H2z\"/></defs>"
                         "<use xlink:href=\"#p\"/></svg>");
    EXPECT_TRUE(outline(accepted(handWritten)).attributes.contains(QStringLiteral("use@xlink:href=#p")));
}

TEST(SvgSanitizer, CleaningACleanedDocumentChangesNothing)
{
    const QString cleaned = accepted(QStringLiteral("<?xml version=\"1.0\"?><!-- c -->")
        + svgOf(QStringLiteral("<style><![CDATA[path > g { fill: red; }]]></style><title>A &amp; B &lt;icon&gt;</title>"
                               "<path d=\"M2 2h20v20H2z\" onclick=\"x\" data-note=\"a&#10;b &quot;c&quot;\"/>"
                               "<script>x</script><desc>  spaced  </desc>")));
    EXPECT_EQ(accepted(cleaned), cleaned);
    EXPECT_EQ(SvgSanitizer::sanitizeBytes(cleaned.toUtf8()).svg, cleaned);
}
