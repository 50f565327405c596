#include "Utilities/SvgUpload.h"

#include "TempDir.h"
#include "Utilities/SvgSanitizer.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <gtest/gtest.h>

namespace {

const QByteArray icon = R"svg(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" onload="x()">)svg"
                        R"svg(<path d="M2 2h20v20H2z"/></svg>)svg";

struct SvgUploadTest : ::testing::Test {
    TempDir dir;

    SvgUpload uploadOf(const QString& name, const QByteArray& bytes)
    {
        dir.write(name, bytes);
        return SvgUpload::fromFile(dir.file(name));
    }
};

} // namespace

TEST_F(SvgUploadTest, AFileIsNamedAfterItselfWithoutItsLastExtension)
{
    const SvgUpload upload = uploadOf(QStringLiteral("My Icon.final.svg"), icon);
    ASSERT_TRUE(upload.accepted()) << upload.error.toStdString();
    EXPECT_EQ(upload.name, QStringLiteral("My Icon.final"));
    EXPECT_EQ(SvgUpload::nameForFile(QStringLiteral("/tmp/Logo.SVG")), QStringLiteral("Logo"));
    EXPECT_EQ(SvgUpload::nameForFile(QStringLiteral("/tmp/.svg")), QStringLiteral(".svg"));
}

TEST_F(SvgUploadTest, TheStoredTextIsTheCleanedDocument)
{
    const SvgUpload upload = uploadOf(QStringLiteral("icon.svg"), icon);
    ASSERT_TRUE(upload.accepted());
    EXPECT_TRUE(upload.svg.contains(QStringLiteral("M2 2h20v20H2z")));
    EXPECT_FALSE(upload.svg.contains(QStringLiteral("onload")));
    EXPECT_TRUE(upload.error.isEmpty());
}

TEST_F(SvgUploadTest, AFileThatCannotBeReadSaysWhy)
{
    const SvgUpload missing = SvgUpload::fromFile(dir.file(QStringLiteral("gone.svg")));
    EXPECT_EQ(missing.error, QStringLiteral("Couldn't read that file: No such file or directory"));
    EXPECT_EQ(missing.name, QStringLiteral("gone"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.svg")));
    EXPECT_TRUE(SvgUpload::fromFile(dir.file(QStringLiteral("folder.svg")))
                    .error.startsWith(QStringLiteral("Couldn't read that file: ")));
}

TEST_F(SvgUploadTest, AFileOverTheLimitIsRefusedUnread)
{
    QByteArray big = icon;
    big.insert(big.indexOf("<path"), "<!--" + QByteArray(SvgSanitizer::maxBytes, 'x') + "-->");
    EXPECT_EQ(uploadOf(QStringLiteral("big.svg"), big).error, QStringLiteral("That file is larger than 512 KB."));
}

TEST_F(SvgUploadTest, ADeviceThatNeverEndsIsReadOnlyToTheLimit)
{
    if (!QFile::exists(QStringLiteral("/dev/zero")))
        GTEST_SKIP() << "no /dev/zero here";
    EXPECT_EQ(
        SvgUpload::fromFile(QStringLiteral("/dev/zero")).error, QStringLiteral("That file is larger than 512 KB."));
}

TEST_F(SvgUploadTest, TextThatIsNoUtf8SvgIsNoValidSvg)
{
    const QString invalid = QStringLiteral("That file isn't a valid SVG.");
    QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    EXPECT_EQ(uploadOf(QStringLiteral("wide.svg"), utf16(QString::fromUtf8(icon))).error, invalid);
    EXPECT_EQ(uploadOf(QStringLiteral("notes.svg"), "shopping list: milk, eggs").error, invalid);
    EXPECT_EQ(uploadOf(QStringLiteral("empty.svg"), QByteArray()).error, invalid);
}

TEST_F(SvgUploadTest, EachOtherRefusalHasItsOwnSentence)
{
    EXPECT_EQ(
        uploadOf(QStringLiteral("cut.svg"), icon.chopped(6)).error, QStringLiteral("That SVG isn't well-formed XML."));
    EXPECT_EQ(uploadOf(QStringLiteral("dtd.svg"), "<!DOCTYPE svg [<!ENTITY e \"x\">]>" + icon).error,
        QStringLiteral("SVGs with a DOCTYPE or entity declarations aren't accepted."));
    EXPECT_EQ(uploadOf(QStringLiteral("flat.svg"), "<svg viewBox=\"0 0 24 0\"><path d=\"M2 2h20v20H2z\"/></svg>").error,
        QStringLiteral("That SVG can't be drawn."));
    EXPECT_EQ(uploadOf(QStringLiteral("remote.svg"),
                  R"(<svg viewBox="0 0 24 24"><image width="24" height="24" href="https://example.com/a.png"/></svg>)")
                  .error,
        QStringLiteral("That SVG doesn't draw anything."));
}

TEST_F(SvgUploadTest, ThePastedIconIsNamedPastedIcon)
{
    const SvgUpload upload = SvgUpload::fromClipboard(icon);
    ASSERT_TRUE(upload.accepted());
    EXPECT_EQ(upload.name, QStringLiteral("Pasted icon"));
    EXPECT_FALSE(upload.svg.contains(QStringLiteral("onload")));
}

TEST_F(SvgUploadTest, AClipboardWithoutAnSvgSaysSo)
{
    const QString none = QStringLiteral("Clipboard doesn't contain an SVG.");
    EXPECT_EQ(SvgUpload::fromClipboard(std::nullopt).error, none);
    EXPECT_EQ(SvgUpload::fromClipboard(QByteArray("https://example.com/icon.svg")).error, none);
    EXPECT_EQ(SvgUpload::fromClipboard(QByteArray()).error, none);
    QByteArray big = icon;
    big.insert(big.indexOf("<path"), "<!--" + QByteArray(SvgSanitizer::maxBytes, 'x') + "-->");
    EXPECT_EQ(SvgUpload::fromClipboard(big).error, QStringLiteral("The SVG on the clipboard is larger than 512 KB."));
}
