#include <gtest/gtest.h>

#include "platform/linux/PasteboardTypes.h"

namespace {

TEST(PasteboardTypes, targetsThatDescribeOrActOnTheSelectionAreMeta)
{
    for (const char* target : {"TARGETS", "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS", "DELETE", "INSERT_SELECTION",
             "INSERT_PROPERTY", "application/x-qt-image"})
        EXPECT_TRUE(PasteboardTypes::isMetaTarget(target)) << target;
    for (const char* format : {"text/plain", "image/png", "UTF8_STRING", "text/html"})
        EXPECT_FALSE(PasteboardTypes::isMetaTarget(format)) << format;
}

}
