#include <gtest/gtest.h>

#include "Engine/ExpansionReplacement.h"
#include "platform/linux/PasteboardTypes.h"

namespace {

TEST(PasteboardTypes, theReplacementsTypesBecomeMimeTypesAndComeBack)
{
    for (const QString& type : {ExpansionReplacement::textType, ExpansionReplacement::markerType}) {
        const QString mime = PasteboardTypes::mimeType(type);
        EXPECT_TRUE(mime.contains('/')) << mime.toStdString();
        EXPECT_EQ(PasteboardTypes::pasteboardType(mime), type);
    }
    EXPECT_EQ(PasteboardTypes::mimeType(ExpansionReplacement::textType), "text/plain;charset=utf-8");
}

TEST(PasteboardTypes, richTextAndImagesKeepTheirUsualMimeNames)
{
    EXPECT_EQ(PasteboardTypes::mimeType("public.html"), "text/html");
    EXPECT_EQ(PasteboardTypes::mimeType("public.png"), "image/png");
    EXPECT_EQ(PasteboardTypes::pasteboardType("image/png"), "public.png");
}

TEST(PasteboardTypes, unknownTypesPassThroughUnchanged)
{
    for (const char* type : {"text/plain", "image/bmp", "application/x-custom", "com.example.private"}) {
        EXPECT_EQ(PasteboardTypes::mimeType(type), QString(type));
        EXPECT_EQ(PasteboardTypes::pasteboardType(type), QString(type));
    }
}

TEST(PasteboardTypes, targetsThatDescribeOrActOnTheSelectionAreMeta)
{
    for (const char* target : {"TARGETS", "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS", "DELETE", "INSERT_SELECTION",
             "INSERT_PROPERTY", "application/x-qt-image"})
        EXPECT_TRUE(PasteboardTypes::isMetaTarget(target)) << target;
    for (const char* format : {"text/plain", "image/png", "UTF8_STRING", "text/html"})
        EXPECT_FALSE(PasteboardTypes::isMetaTarget(format)) << format;
}

}
