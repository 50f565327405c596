#pragma once

#include "Engine/TextExpansionEngine.h"
#include "FakeDesktop.h"
#include "ManualScheduler.h"

#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// An engine running on a desktop of doubles, with "/sig" and ";addr" as shortcuts and a
// focused field in another application that holds "Hello ".
class EngineFixture : public ::testing::Test {
protected:
    static inline const QString signature = QStringLiteral("Best regards,\nAda");

    EngineFixture()
    {
        field = desktop.focusNewField(QStringLiteral("Hello "));
        start({{QStringLiteral("/sig"), signature}, {QStringLiteral(";addr"), QStringLiteral("1 Main St")}});
    }

    void start(std::initializer_list<std::pair<QString, QString>> pairs)
    {
        QList<Shortcut> list;
        for (const auto& [trigger, expansion] : pairs)
            list.append(
                Shortcut{QString::number(list.size()), trigger, expansion, std::nullopt, list.size(), std::nullopt});
        engine.start(list, [this](const QString& trigger, const QString& expansion, const QString&) {
            expansions.append({trigger, expansion});
        });
    }

    // Lets every pending check, paste and echo run.
    void settle() { scheduler.advance(2); }

    QList<std::pair<QString, QString>> expected(const QString& trigger, const QString& expansion)
    {
        return {{trigger, expansion}};
    }

    ManualScheduler scheduler;
    FakeDesktop desktop;
    TextExpansionEngine engine;
    std::shared_ptr<FakeTextField> field;
    QList<std::pair<QString, QString>> expansions;
};
