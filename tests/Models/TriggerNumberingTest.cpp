#include "Models/TriggerNumbering.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace {
QList<Shortcut> withTriggers(const QStringList& triggers)
{
    QList<Shortcut> shortcuts;
    for (const QString& trigger : triggers)
        shortcuts.append(Shortcut{
            QString::number(shortcuts.size()), trigger, QStringLiteral("text"), std::nullopt, 0, std::nullopt});
    return shortcuts;
}
} // namespace

TEST(TriggerNumbering, FreeTriggerIsKeptAndThenCountsAsUsed)
{
    TriggerNumbering numbering(withTriggers({"/a"}), withTriggers({"/new", "/new"}));
    EXPECT_EQ(numbering.claim("/new"), "/new");
    EXPECT_EQ(numbering.claim("/new"), "/new(2)");
}

TEST(TriggerNumbering, UsedTriggerGetsFirstNumberNeitherUsedNorReserved)
{
    TriggerNumbering numbering(withTriggers({"/sig", "/sig(2)"}), withTriggers({"/sig", "/sig", "/sig(3)"}));
    EXPECT_EQ(numbering.claim("/sig"), "/sig(4)");
    EXPECT_EQ(numbering.claim("/sig"), "/sig(5)");
    EXPECT_EQ(numbering.claim("/sig(3)"), "/sig(3)");
}

TEST(TriggerNumbering, NumberedFormTakenLaterIsSkipped)
{
    TriggerNumbering numbering(withTriggers({"/x"}), withTriggers({}));
    EXPECT_EQ(numbering.claim("/x(2)"), "/x(2)");
    EXPECT_EQ(numbering.claim("/x"), "/x(3)");
}

TEST(TriggerNumbering, CanonicallyEqualTriggersClashAndKeepTheirWrittenForm)
{
    TriggerNumbering numbering(withTriggers({"caf\u00e9"}), withTriggers({}));
    EXPECT_EQ(numbering.claim("cafe\u0301"), "cafe\u0301(2)");
    EXPECT_EQ(numbering.claim("caf\u00e9"), "caf\u00e9(3)");
}

TEST(TriggerNumbering, ManyEqualTriggersTakeLinearTime)
{
    QStringList incoming;
    incoming.reserve(50000);
    for (int i = 0; i < 50000; ++i)
        incoming.append(QStringLiteral("/sig"));
    TriggerNumbering numbering(withTriggers({"/sig"}), withTriggers(incoming));
    QElapsedTimer timer;
    timer.start();
    QString last;
    for (int i = 0; i < 50000; ++i)
        last = numbering.claim(QStringLiteral("/sig"));
    EXPECT_EQ(last, "/sig(50001)");
    // Rescanning from (2) every time would take tens of seconds here.
    EXPECT_LT(timer.elapsed(), 5000);
}
