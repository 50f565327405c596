#pragma once

#include "App/State/AppState.h"
#include "ManualClock.h"
#include "Models/VelmoraJSON.h"
#include "Persistence/LocalStore.h"
#include "Services/AchievementCatalog.h"
#include "Services/AchievementEngine.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <memory>

// The application state over a data folder of its own whose statistics the test writes
// before the start (already migrated, so nothing is stamped behind the test's back).
class AchievementFixture : public ::testing::Test {
protected:
    static QDateTime day(int n) { return QDateTime(QDate(2026, 1, n), QTime(9, 0)); }
    static const Achievement& byId(const char* id) { return *AchievementCatalog::find(QString::fromLatin1(id)); }

    void start(Stats stats = Stats::empty(), const UserData& library = UserData::empty())
    {
        stats.firstUseFlags.insert(AchievementEngine::migrationFlag);
        dir.write(QStringLiteral("stats.json"), VelmoraJSON::encode(stats));
        dir.write(QStringLiteral("data.json"), VelmoraJSON::encode(library));
        store = std::make_unique<LocalStore>(dir.path());
        state = std::make_unique<AppState>(*store);
    }

    // A weekday's noon: achievements of the hour or the day of the week stay locked whenever
    // the tests run.
    ManualClock clock{QDateTime(QDate(2026, 1, 14), QTime(12, 0), Qt::UTC)};
    TempDir dir;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<AppState> state;
};
