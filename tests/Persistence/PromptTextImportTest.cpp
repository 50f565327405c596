#include "Persistence/PromptTextImport.h"
#include "Utilities/Uuid.h"

#include <QStringList>
#include <gtest/gtest.h>

using PromptTextImport::Failure;
using PromptTextImport::Parsed;

namespace PromptTextImport {
void PrintTo(const Failure& failure, std::ostream* out)
{
    *out << failure.what();
}
} // namespace PromptTextImport

namespace {

QString text(const QStringList& lines)
{
    return lines.join(u'\n');
}

const QString separator = PromptTextImport::separatorLine.toString();

Failure failureOf(const QString& pasted)
{
    try {
        PromptTextImport::parse(pasted);
    } catch (const Failure& failure) {
        return failure;
    }
    ADD_FAILURE() << "the text was accepted";
    return Failure::noPresets();
}

const Group& folderNamed(const Parsed& parsed, const QString& name)
{
    for (const Group& group : parsed.groups) {
        if (group.name == name)
            return group;
    }
    throw std::runtime_error("no such folder");
}

} // namespace

// ---- Where reading starts and which entries are recognised

TEST(PresetTextReading, OneInlinePresetIsOneTopLevelShortcut)
{
    const Parsed parsed = PromptTextImport::parse(QStringLiteral("/ty \u2192 Thank you!"));
    ASSERT_EQ(parsed.shortcuts.size(), 1);
    const Shortcut& s = parsed.shortcuts.first();
    EXPECT_EQ(s.trigger, "/ty");
    EXPECT_EQ(s.expansion, "Thank you!");
    EXPECT_EQ(s.order, 0);
    EXPECT_FALSE(s.groupId);
    EXPECT_FALSE(s.isExample);
    EXPECT_TRUE(Uuid::parse(s.id));
    EXPECT_EQ(s.id, s.id.toUpper());
    EXPECT_TRUE(parsed.groups.isEmpty());
}

TEST(PresetTextReading, EverythingUpToTheSeparatorIsIgnored)
{
    const Parsed parsed
        = PromptTextImport::parse(text({"Here are my presets!", "  " + separator + "  ", "/ty \u2192 Thanks"}));
    ASSERT_EQ(parsed.shortcuts.size(), 1);
    EXPECT_EQ(parsed.shortcuts.first().trigger, "/ty");
}

TEST(PresetTextReading, WithoutSeparatorTheFirstLineCounts)
{
    EXPECT_EQ(failureOf(text({"Here are my presets!", "/ty \u2192 Thanks"})), Failure::invalidLine(1));
}

TEST(PresetTextReading, BlockHeaderFirstAfterSeparatorMakesArrowLinesText)
{
    const Parsed parsed = PromptTextImport::parse(text({separator, "/sig \u2192", "use a \u2192 b", "c\u2192d"}));
    ASSERT_EQ(parsed.shortcuts.size(), 1);
    EXPECT_EQ(parsed.shortcuts.first().expansion, "use a \u2192 b\nc\u2192d");
}

TEST(PresetTextReading, InlinePresetFirstAfterSeparatorKeepsInlineRecognition)
{
    const Parsed parsed = PromptTextImport::parse(text({separator, "/a \u2192 x", "/b \u2192", "line", "/c \u2192 y"}));
    ASSERT_EQ(parsed.shortcuts.size(), 3);
    EXPECT_EQ(parsed.shortcuts.at(1).expansion, "line");
    EXPECT_EQ(parsed.shortcuts.at(2).trigger, "/c");
    EXPECT_EQ(parsed.shortcuts.at(2).expansion, "y");
}

TEST(PresetTextReading, WithoutSeparatorABlockHeaderFirstTurnsInlineOff)
{
    const Parsed parsed = PromptTextImport::parse(text({"", "/sig \u2192", "/a \u2192 b"}));
    ASSERT_EQ(parsed.shortcuts.size(), 1);
    EXPECT_EQ(parsed.shortcuts.first().expansion, "/a \u2192 b");
}

TEST(PresetTextReading, WithoutSeparatorInlineStaysOnAfterLaterBlockHeader)
{
    const Parsed parsed = PromptTextImport::parse(text({"/a \u2192 x", "/b \u2192", "text", "/c \u2192 d"}));
    ASSERT_EQ(parsed.shortcuts.size(), 3);
    EXPECT_EQ(parsed.shortcuts.at(1).expansion, "text");
}

TEST(PresetTextReading, BlockTriggerMayHoldSpacesButInlineTriggerMayNot)
{
    const Parsed parsed = PromptTextImport::parse(text({"my sig \t \u2192", "Ada"}));
    EXPECT_EQ(parsed.shortcuts.first().trigger, "my sig");
    EXPECT_EQ(failureOf(QStringLiteral("my sig \u2192 Ada")), Failure::invalidLine(1));
}

TEST(PresetTextReading, ArrowAfterTabIsNoBlockHeader)
{
    EXPECT_EQ(failureOf(QStringLiteral("/sig\t\u2192")), Failure::invalidLine(1));
}

TEST(PresetTextReading, InlinePresetSplitsAtItsFirstArrow)
{
    const Parsed parsed = PromptTextImport::parse(QStringLiteral("/go\u2192left \u2192 right"));
    EXPECT_EQ(parsed.shortcuts.first().trigger, "/go");
    EXPECT_EQ(parsed.shortcuts.first().expansion, "left \u2192 right");
}

TEST(PresetTextReading, WindowsAndOldMacLineBreaksAreLineFeeds)
{
    const Parsed parsed = PromptTextImport::parse(QStringLiteral("/sig \u2192\r\nA\r\rB\r\n\r\nend\r"));
    ASSERT_EQ(parsed.shortcuts.size(), 1);
    EXPECT_EQ(parsed.shortcuts.first().expansion, "A\n\nB\n\nend");
}

TEST(PresetTextReading, TypicalCopiedCollectionIsRead)
{
    const Parsed parsed = PromptTextImport::parse(text({
        "Some words about the presets",
        separator,
        "Work/Mail [#3366FF envelope]:",
        "/sig \u2192",
        "Best regards,",
        "Ada",
        "\u2500",
        "/addr \u2192",
        "1 Main Street",
        "",
    }));
    ASSERT_EQ(parsed.groups.size(), 2);
    ASSERT_EQ(parsed.shortcuts.size(), 2);
    EXPECT_EQ(parsed.shortcuts.at(0).expansion, "Best regards,\nAda");
    EXPECT_EQ(parsed.shortcuts.at(0).groupId, parsed.groups.at(1).id);
    EXPECT_EQ(parsed.shortcuts.at(1).trigger, "/addr");
    EXPECT_FALSE(parsed.shortcuts.at(1).groupId);
}

// ---- Expansions

TEST(PresetTextExpansion, InnerBlankLinesAndIndentationStayTrailingBlankLinesGo)
{
    const Parsed parsed = PromptTextImport::parse(
        text({"/sig \u2192", "", "  Best,", "", "\tAda", " \t", "", "\u2500", "/b \u2192", "x"}));
    ASSERT_EQ(parsed.shortcuts.size(), 2);
    EXPECT_EQ(parsed.shortcuts.first().expansion, "\n  Best,\n\n\tAda");
}

TEST(PresetTextExpansion, HeaderFollowedOnlyByBlankLinesFailsOnTheHeaderLine)
{
    EXPECT_EQ(failureOf(text({"", "/a \u2192 b", "/sig \u2192", "", "   ", ""})), Failure::emptyShortcut(3));
}

TEST(PresetTextExpansion, ArrowAloneIsAHeaderWithoutTrigger)
{
    EXPECT_EQ(failureOf(text({"/a \u2192 b", "\u2192", "text"})), Failure::emptyShortcut(2));
}

TEST(PresetTextExpansion, EmptyPresetFailsWhenTheNextEntryStarts)
{
    EXPECT_EQ(failureOf(text({"/a \u2192", "/b \u2192", "x"})), Failure::emptyShortcut(1));
}

TEST(PresetTextExpansion, LineEndingWithColonAfterTextStaysText)
{
    const Parsed parsed = PromptTextImport::parse(text({"/sig \u2192", "Dear all:", "Hello"}));
    EXPECT_TRUE(parsed.groups.isEmpty());
    EXPECT_EQ(parsed.shortcuts.first().expansion, "Dear all:\nHello");
}

TEST(PresetTextExpansion, LineEndingWithColonAfterBlankLineBeforeHeaderIsAFolder)
{
    const Parsed parsed = PromptTextImport::parse(text({"/a \u2192", "Hello", "", "Work:", "", "/b \u2192", "x"}));
    ASSERT_EQ(parsed.groups.size(), 1);
    EXPECT_EQ(parsed.groups.first().name, "Work");
    EXPECT_EQ(parsed.shortcuts.at(0).expansion, "Hello");
    EXPECT_FALSE(parsed.shortcuts.at(0).groupId);
    EXPECT_EQ(parsed.shortcuts.at(1).groupId, parsed.groups.first().id);
}

TEST(PresetTextExpansion, LineEndingWithColonAfterBlankLineBeforeTextStaysText)
{
    const Parsed parsed = PromptTextImport::parse(text({"/a \u2192", "Hello", "", "Note:", "more"}));
    EXPECT_TRUE(parsed.groups.isEmpty());
    EXPECT_EQ(parsed.shortcuts.first().expansion, "Hello\n\nNote:\nmore");
}

TEST(PresetTextExpansion, LineEndingWithColonAtTheEndAfterBlankLineIsAFolder)
{
    const Parsed parsed = PromptTextImport::parse(text({"/a \u2192", "Hello", "", "End:", "  "}));
    ASSERT_EQ(parsed.groups.size(), 1);
    EXPECT_EQ(parsed.shortcuts.first().expansion, "Hello");
}

TEST(PresetTextExpansion, ColonLineBeforeInlinePresetIsAFolderOnlyWhileInlineIsOn)
{
    const Parsed inlineOn
        = PromptTextImport::parse(text({"/a \u2192 x", "/b \u2192", "Hi", "", "Work:", "/c \u2192 y"}));
    ASSERT_EQ(inlineOn.groups.size(), 1);
    EXPECT_EQ(inlineOn.shortcuts.at(2).groupId, inlineOn.groups.first().id);

    const Parsed inlineOff = PromptTextImport::parse(text({"/b \u2192", "Hi", "", "Work:", "/c \u2192 y"}));
    EXPECT_TRUE(inlineOff.groups.isEmpty());
    EXPECT_EQ(inlineOff.shortcuts.first().expansion, "Hi\n\nWork:\n/c \u2192 y");
}

// ---- Folders

TEST(PresetTextFolders, PathWithDecorationsCreatesEachLevelOnceAndDecoratesTheDeepest)
{
    const Parsed parsed
        = PromptTextImport::parse(text({"Work/Mail [#3366FF mail]:", "/m \u2192 mail", "", "Work:", "/w \u2192 work"}));
    ASSERT_EQ(parsed.groups.size(), 2);
    const Group& work = parsed.groups.at(0);
    const Group& mail = parsed.groups.at(1);
    EXPECT_EQ(work.name, "Work");
    EXPECT_EQ(work.order, 0);
    EXPECT_FALSE(work.parentGroupId);
    EXPECT_FALSE(work.icon || work.color);
    EXPECT_EQ(mail.name, "Mail");
    EXPECT_EQ(mail.order, 0);
    EXPECT_EQ(mail.parentGroupId, work.id);
    EXPECT_EQ(mail.color, "#3366FF");
    EXPECT_EQ(mail.icon, "mail");
    EXPECT_EQ(mail.visibility, "private");
    EXPECT_FALSE(mail.collapsed || mail.shareId);
    EXPECT_EQ(parsed.shortcuts.at(0).groupId, mail.id);
    EXPECT_EQ(parsed.shortcuts.at(1).groupId, work.id);
}

TEST(PresetTextFolders, LastColourAndLastIconWinAndOnlyKnownIconsAreKept)
{
    const Parsed parsed = PromptTextImport::parse(QStringLiteral("Home [#fff \u2605  #12 #000000\tstar]:"));
    EXPECT_EQ(parsed.groups.first().name, "Home");
    EXPECT_EQ(parsed.groups.first().color, "#000000");
    EXPECT_EQ(parsed.groups.first().icon, "star");
    const Parsed emoji = PromptTextImport::parse(QStringLiteral("Home [\U0001F680]:"));
    EXPECT_EQ(emoji.groups.first().icon, QStringLiteral("\U0001F680"));

    // Names of icons the catalog does not have, and malformed colours, are dropped; the
    // folder, its colour and its shortcuts are still taken.
    for (const char* line : {"Work/Mail [#3366FF envelope]:", "Work/Mail [#12 #3366FF]:", "Work/Mail [x #3366FF]:"}) {
        const Parsed unknown = PromptTextImport::parse(text({line, "/m \u2192 mail"}));
        ASSERT_EQ(unknown.groups.size(), 2) << line;
        EXPECT_EQ(unknown.groups.at(1).name, "Mail") << line;
        EXPECT_FALSE(unknown.groups.at(1).icon) << line;
        EXPECT_EQ(unknown.groups.at(1).color, "#3366FF") << line;
        ASSERT_EQ(unknown.shortcuts.size(), 1) << line;
        EXPECT_EQ(unknown.shortcuts.first().groupId, unknown.groups.at(1).id) << line;
    }
}

TEST(PresetTextFolders, LaterLineChangesOnlyTheDecorationsItNames)
{
    const Parsed parsed = PromptTextImport::parse(text({"Home [code #abc]:", "Home [#123456]:"}));
    ASSERT_EQ(parsed.groups.size(), 1);
    EXPECT_EQ(parsed.groups.first().icon, "code");
    EXPECT_EQ(parsed.groups.first().color, "#123456");
}

TEST(PresetTextFolders, BracketsWithoutLeadingSpaceArePartOfTheName)
{
    const Parsed parsed = PromptTextImport::parse(QStringLiteral("[Archive]:"));
    EXPECT_EQ(parsed.groups.first().name, "[Archive]");
    EXPECT_FALSE(parsed.groups.first().icon);
}

TEST(PresetTextFolders, EscapedSlashAndBackslashStayInsideOneName)
{
    const Parsed parsed = PromptTextImport::parse(text({"Input\\/Output / Back\\\\slash / C\\d:"}));
    ASSERT_EQ(parsed.groups.size(), 3);
    EXPECT_EQ(parsed.groups.at(0).name, "Input/Output");
    EXPECT_EQ(parsed.groups.at(1).name, "Back\\slash");
    EXPECT_EQ(parsed.groups.at(2).name, "C\\d");
}

TEST(PresetTextFolders, EmptySegmentFailsOnItsLine)
{
    EXPECT_EQ(failureOf(text({"/a \u2192 b", "", "Work//Mail:"})), Failure::invalidFolder(3));
    EXPECT_EQ(failureOf(text({"Work:", "/Mail:"})), Failure::invalidFolder(2));
    EXPECT_EQ(failureOf(text({"Work:", "", "Mail/ [#fff]:"})), Failure::invalidFolder(3));
    EXPECT_EQ(failureOf(QStringLiteral(" :")), Failure::invalidFolder(1));
}

TEST(PresetTextFolders, OrdersCountSiblingsSeparately)
{
    const Parsed parsed = PromptTextImport::parse(text(
        {"A:", "/a1 \u2192 x", "", "B:", "A/C:", "A/D:", "/d1 \u2192 x", "/d2 \u2192 x", "\u2500", "/t \u2192 x"}));
    EXPECT_EQ(folderNamed(parsed, "A").order, 0);
    EXPECT_EQ(folderNamed(parsed, "B").order, 1);
    EXPECT_EQ(folderNamed(parsed, "C").order, 0);
    EXPECT_EQ(folderNamed(parsed, "D").order, 1);
    QList<qint64> orders;
    for (const Shortcut& s : parsed.shortcuts)
        orders.append(s.order);
    EXPECT_EQ(orders, QList<qint64>({0, 0, 1, 0}));
}

TEST(PresetTextFolders, ClosingLineReturnsToTheTopLevel)
{
    const Parsed parsed = PromptTextImport::parse(text({"Work:", "/a \u2192 x", "\u2500", "/b \u2192 y"}));
    EXPECT_EQ(parsed.shortcuts.at(0).groupId, parsed.groups.first().id);
    EXPECT_FALSE(parsed.shortcuts.at(1).groupId);
}

TEST(PresetTextFolders, CanonicallyEqualNamesAreOneFolder)
{
    const Parsed parsed = PromptTextImport::parse(text({"Caf\u00e9:", "Cafe\u0301:"}));
    EXPECT_EQ(parsed.groups.size(), 1);
}

TEST(PresetTextFolders, TextWithOnlyFoldersIsRead)
{
    const Parsed parsed = PromptTextImport::parse(text({separator, "", "Work:", "Home:"}));
    EXPECT_EQ(parsed.groups.size(), 2);
    EXPECT_TRUE(parsed.shortcuts.isEmpty());
}

TEST(PresetTextFolders, VeryDeepPathIsReadInOnePass)
{
    QString path;
    for (int i = 0; i < 100000; ++i)
        path += QStringLiteral("f/");
    path += QStringLiteral("f:");
    const Parsed parsed = PromptTextImport::parse(path);
    ASSERT_EQ(parsed.groups.size(), 100001);
    EXPECT_EQ(parsed.groups.last().parentGroupId, parsed.groups.at(100000 - 1).id);
}

// ---- Failures

TEST(PresetTextFailures, UnrecognisedLineOutsideAPresetStopsTheImport)
{
    EXPECT_EQ(failureOf(text({"/a \u2192 x", "\u2500", "hello there", "/b \u2192 y"})), Failure::invalidLine(3));
    EXPECT_EQ(failureOf(QStringLiteral(" \u2192 x")), Failure::invalidLine(1));
}

TEST(PresetTextFailures, LineNumbersCountLinesBeforeTheSeparator)
{
    EXPECT_EQ(failureOf(text({"intro", "more intro", separator, "/sig \u2192", "x", "\u2500", "junk"})),
        Failure::invalidLine(7));
    EXPECT_EQ(failureOf(QStringLiteral("intro\r\nmore\r") + separator + QStringLiteral("\r\n\r\nW//:")),
        Failure::invalidFolder(5));
}

TEST(PresetTextFailures, NothingReadIsNoPresets)
{
    EXPECT_EQ(failureOf(QString()), Failure::noPresets());
    EXPECT_EQ(failureOf(text({"", "  ", "\t"})), Failure::noPresets());
    EXPECT_EQ(failureOf(text({"Copy this prompt:", separator})), Failure::noPresets());
    EXPECT_EQ(failureOf(text({separator, "", "\u2500"})), Failure::noPresets());
}

TEST(PresetTextFailures, EachRejectionSaysWhichLine)
{
    EXPECT_EQ(failureOf(text({"/a \u2192 b", "\u2500", "", "", "", "", "", "", "", "", "", "what is this?"}))
                  .errorDescription(),
        "Unrecognized text on line 12. Nothing was imported.");
    EXPECT_EQ(failureOf(text({"intro", separator, "/sig \u2192", "   "})).errorDescription(),
        "The shortcut on line 3 needs both a trigger and expansion. Nothing was imported.");
    EXPECT_EQ(failureOf(QStringLiteral("Work/ /Mail:")).errorDescription(),
        "The folder path on line 1 is incomplete. Nothing was imported.");
    EXPECT_EQ(failureOf(text({"Copy this prompt:", separator, ""})).errorDescription(),
        "No Velmora shortcuts or folders found. Copy a preset or group, not only its prompt text.");
    EXPECT_STREQ(failureOf(QStringLiteral("?")).what(), "Unrecognized text on line 1. Nothing was imported.");
}

TEST(PresetTextFailures, FailuresAreEqualByCaseAndLine)
{
    EXPECT_EQ(Failure::invalidLine(2), Failure::invalidLine(2));
    EXPECT_FALSE(Failure::invalidLine(2) == Failure::invalidLine(3));
    EXPECT_FALSE(Failure::invalidLine(2) == Failure::emptyShortcut(2));
}
