#include "EngineFixture.h"

#include "Engine/AccessibilityExpansionTarget.h"

// The replacement alone, against the focused field of the fixture ("Hello " with the caret
// at 6) after "/sig" was typed there.
class ReplacementLimits : public EngineFixture {
protected:
    ReplacementLimits()
    {
        engine.stop();
        field->insert(QStringLiteral("/sig"));
    }

    bool begins(const ExpansionPlan& plan)
    {
        const auto target = AccessibilityExpansionTarget::focused();
        replacement.prepare();
        replacement.start(
            plan, target, [] { return true; }, [this] { ++completions; });
        return replacement.isBusy();
    }

    SystemExpansionClipboard clipboard{desktop.pasteboard};
    ExpansionReplacement replacement{clipboard, [](double seconds, std::function<void()> work) {
                                         Scheduler::current().after(seconds, nullptr, std::move(work));
                                     }};
    int completions = 0;
};

TEST_F(ReplacementLimits, CaretBeforeTheTriggersEndOrAnEmptyTriggerStartsNothing)
{
    EXPECT_FALSE(begins(ExpansionPlan{QStringLiteral("/sig"), QStringLiteral("x"), 3, std::nullopt, std::nullopt}));
    EXPECT_FALSE(begins(ExpansionPlan{QString(), QStringLiteral("x"), 10, std::nullopt, std::nullopt}));
    EXPECT_TRUE(begins(ExpansionPlan{QStringLiteral("/sig"), QStringLiteral("x"), 10, std::nullopt, std::nullopt}));
    // Busy: a second plan is dropped.
    EXPECT_TRUE(begins(ExpansionPlan{QStringLiteral("/sig"), QStringLiteral("y"), 10, std::nullopt, std::nullopt}));
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello x"));
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(replacement.isBusy());
}

TEST_F(ReplacementLimits, ExpansionUpToTheLargestSizeIsAccepted)
{
    const QString largest(ExpansionReplacement::largestExpansionBytes, u'x');
    EXPECT_FALSE(begins(ExpansionPlan{QStringLiteral("/sig"), largest + u'x', 10, std::nullopt, std::nullopt}));
    // Multi-byte characters count in UTF-8 bytes.
    EXPECT_FALSE(begins(ExpansionPlan{
        QStringLiteral("/sig"), largest.left(largest.size() - 1) + u'\u00e9', 10, std::nullopt, std::nullopt}));
    EXPECT_TRUE(begins(ExpansionPlan{QStringLiteral("/sig"), largest, 10, std::nullopt, std::nullopt}));
    settle();
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(field->text.size(), 6 + largest.size());
}

TEST_F(ReplacementLimits, ClipboardOfTheLargestSizeIsSavedAndOneByteMorePreventsTheReplacement)
{
    const qsizetype largest = SystemExpansionClipboard::largestSnapshotBytes;
    desktop.pasteboard.copyFromOtherApplication(
        {PasteboardItem{{QStringLiteral("application/octet-stream"), QByteArray(largest + 1, 'd')}}});
    begins(ExpansionPlan{QStringLiteral("/sig"), QStringLiteral("x"), 10, std::nullopt, std::nullopt});
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /sig"));
    EXPECT_FALSE(replacement.isBusy());

    const QList<PasteboardItem> contents{
        PasteboardItem{{QStringLiteral("application/octet-stream"), QByteArray(largest, 'd')}}};
    desktop.pasteboard.copyFromOtherApplication(contents);
    begins(ExpansionPlan{QStringLiteral("/sig"), QStringLiteral("x"), 10, std::nullopt, std::nullopt});
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello x"));
    EXPECT_EQ(desktop.pasteboard.items(), contents);
}

TEST_F(ReplacementLimits, ChangedTextBeforeTheCaretStopsTheReplacement)
{
    field->text = QStringLiteral("Hello /siG");
    begins(ExpansionPlan{QStringLiteral("/sig"), QStringLiteral("x"), 10, std::nullopt, std::nullopt});
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello /siG"));
    EXPECT_EQ(desktop.pasteboard.writeCount(), 0);
}

TEST_F(ReplacementLimits, CanonicallyEquivalentFieldTextCountsAsTheTrigger)
{
    // The same accents in another order: equal under canonical equivalence, equal in length.
    field->text = QStringLiteral("Hello qa\u0301\u0323");
    field->moveCaret(field->text.size());
    begins(ExpansionPlan{
        QStringLiteral("qa\u0323\u0301"), QStringLiteral("coffee"), field->text.size(), std::nullopt, std::nullopt});
    settle();
    EXPECT_EQ(field->text, QStringLiteral("Hello coffee"));
}
