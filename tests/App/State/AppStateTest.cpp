#include "App/State/AppState.h"
#include "FailingStore.h"
#include "LibraryEditing.h"
#include "ManualClock.h"
#include "ManualScheduler.h"
#include "Persistence/LocalStore.h"
#include "Services/Achievement.h"
#include "Services/AchievementEngine.h"
#include "TempDir.h"
#include "Utilities/ToastManager.h"
#include "platform/PlainTextClipboard.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <limits>
#include <memory>

namespace {

class MemoryClipboard : public PlainTextClipboard {
public:
    std::optional<QString> text() const override { return m_text; }
    void setText(const QString& text) override { m_text = text; }
    std::optional<QString> m_text;
};

// A store over a temporary folder whose writes can be made to fail on demand.
struct AppStateTest : ::testing::Test {
    TempDir dir;
    ManualClock clock{QDateTime(QDate(2025, 3, 1), QTime(12, 0), Qt::UTC)};
    ManualScheduler scheduler{&clock};
    bool failWrites = false;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<AppState> state;
    MemoryClipboard clipboard;
    QList<QString> announced;
    QList<double> floaters;

    void SetUp() override { open(); }

    void open()
    {
        state.reset();
        store = storeWithFailingWrites(dir.path(), &failWrites);
        state = std::make_unique<AppState>(*store);
        state->setClipboard(&clipboard);
        state->setAchievementPresenter([this](const Achievement& a) { announced.append(a.id); });
        state->setTimeSavedPresenter([this](double s) { floaters.append(s); });
        state->updateSettings([](AppSettings& s) { s.confirmDelete = false; });
    }

    const Shortcut* byTrigger(const QString& trigger) const
    {
        for (const Shortcut& s : state->userData().shortcuts) {
            if (s.trigger == trigger)
                return &s;
        }
        return nullptr;
    }

    QString shortcutId(const char* trigger) const { return byTrigger(QString::fromUtf8(trigger))->id; }

    QString groupId(const QString& name) const
    {
        for (const Group& g : state->userData().groups) {
            if (g.name == name)
                return g.id;
        }
        return {};
    }

    UserData onDisk() const { return VelmoraJSON::decode<UserData>(dir.read(QStringLiteral("data.json"))); }
};

QStringList triggers(const QList<Shortcut>& list)
{
    QStringList out;
    for (const Shortcut& s : list)
        out << s.trigger;
    return out;
}

} // namespace

TEST_F(AppStateTest, AChangeIsWrittenAtOnceAndBecomesOneUndoStep)
{
    ASSERT_TRUE(state->storageReady());
    EXPECT_TRUE(state->addShortcut(QStringLiteral("/sig"), QStringLiteral("Best regards"), std::nullopt));
    EXPECT_EQ(onDisk().shortcuts.size(), 1);
    EXPECT_TRUE(state->undo());
    EXPECT_TRUE(state->userData().shortcuts.isEmpty());
    EXPECT_TRUE(onDisk().shortcuts.isEmpty());
    EXPECT_TRUE(state->redo());
    EXPECT_EQ(onDisk().shortcuts.size(), 1);
    // The delete leaves a tombstone; adding the id back would drop it again.
    EXPECT_EQ(state->userData().shortcuts.first().trigger, QStringLiteral("/sig"));
}

TEST_F(AppStateTest, HistoryKeepsTheLatestFiftyStepsAndANewChangeEmptiesRedo)
{
    for (int i = 0; i < 51; ++i)
        ASSERT_TRUE(state->addShortcut(QStringLiteral("/t%1").arg(i), QStringLiteral("x"), std::nullopt));
    int undone = 0;
    while (state->undo())
        ++undone;
    EXPECT_EQ(undone, 50);
    EXPECT_EQ(triggers(state->userData().shortcuts), QStringList({QStringLiteral("/t0")}));
    ASSERT_TRUE(state->redo());
    ASSERT_TRUE(state->addShortcut(QStringLiteral("/new"), QStringLiteral("x"), std::nullopt));
    EXPECT_FALSE(state->canRedo());
}

TEST_F(AppStateTest, AFailedWriteRollsTheLibraryBackAndBlocksStorage)
{
    ASSERT_TRUE(state->addShortcut(QStringLiteral("/a"), QStringLiteral("x"), std::nullopt));
    const UserData before = state->userData();
    QSignalSpy ready(state.get(), &AppState::storageReadyChanged);
    failWrites = true;
    EXPECT_FALSE(state->addShortcut(QStringLiteral("/b"), QStringLiteral("y"), std::nullopt));
    EXPECT_EQ(state->userData(), before);
    EXPECT_FALSE(state->storageReady());
    EXPECT_EQ(ready.count(), 1);
    // While storage is not ready nothing changes, and undo does nothing either.
    failWrites = false;
    EXPECT_FALSE(state->addShortcut(QStringLiteral("/c"), QStringLiteral("z"), std::nullopt));
    EXPECT_FALSE(state->undo());
    EXPECT_EQ(state->userData(), before);
}

TEST_F(AppStateTest, AnInvalidEditIsRefusedWithoutMarkingStorageBroken)
{
    state->addGroup(QStringLiteral("Work"), std::nullopt, std::nullopt, std::nullopt, QStringLiteral("private"));
    const QString work = groupId(QStringLiteral("Work"));
    EXPECT_FALSE(editLibrary(*state, [](UserData& d) {
        Shortcut s;
        s.id = QStringLiteral("X");
        s.trigger = QStringLiteral("/x");
        s.expansion = QStringLiteral("x");
        s.groupId = QStringLiteral("no-such-folder");
        d.shortcuts.append(s);
    }));
    EXPECT_TRUE(state->storageReady());
    EXPECT_TRUE(store->isReady());
    EXPECT_FALSE(work.isEmpty());
}

TEST_F(AppStateTest, AnIdInUseIsRefusedHoweverTheLibraryGotThere)
{
    const auto addWithId = [&](const QString& id, const QString& trigger) {
        return editLibrary(*state, [&](UserData& d) {
            d.shortcuts.append(Shortcut{id, trigger, QStringLiteral("x"), std::nullopt, 0, std::nullopt});
        });
    };
    // Edits made while the form has its copy and id counts prepared, and after.
    state->prepareShortcutEdit();
    ASSERT_TRUE(state->addShortcut(QStringLiteral("/a"), QStringLiteral("x"), std::nullopt));
    state->prepareShortcutEdit();
    ASSERT_TRUE(state->updateShortcut(shortcutId("/a"), std::nullopt, QStringLiteral("edited")));
    ASSERT_TRUE(state->addShortcut(QStringLiteral("/b"), QStringLiteral("y"), std::nullopt));
    state->prepareShortcutEdit(false);
    EXPECT_EQ(byTrigger(QStringLiteral("/a"))->expansion, QStringLiteral("edited"));
    const QString b = shortcutId("/b");
    EXPECT_FALSE(addWithId(b, QStringLiteral("/b2")));
    // And in the next form.
    state->prepareShortcutEdit();
    EXPECT_FALSE(addWithId(b, QStringLiteral("/b2")));
    state->prepareShortcutEdit(false);

    ASSERT_TRUE(state->deleteShortcut(b));
    EXPECT_TRUE(addWithId(b, QStringLiteral("/b2")));
    ASSERT_TRUE(state->undo());
    ASSERT_TRUE(state->undo());
    EXPECT_FALSE(addWithId(b, QStringLiteral("/b2")));

    ASSERT_TRUE(addWithId(QStringLiteral("imported"), QStringLiteral("/i")));
    EXPECT_FALSE(addWithId(QStringLiteral("imported"), QStringLiteral("/j")));
    EXPECT_EQ(triggers(state->userData().shortcuts), QStringList({"/a", "/b", "/i"}));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(state->undo());
    EXPECT_EQ(byTrigger(QStringLiteral("/a"))->expansion, QStringLiteral("x"));
}

TEST_F(AppStateTest, AWrittenEditLeavesNoEarlierListOfTheLibraryHeld)
{
    ASSERT_TRUE(state->addShortcut(QStringLiteral("/a"), QStringLiteral("x"), std::nullopt));
    // With the form open, so that the trigger and id counts are both kept up (this store
    // writes at once).
    state->prepareShortcutEdit();
    QList<Shortcut> earlier = state->userData().shortcuts;
    ASSERT_TRUE(state->addShortcut(QStringLiteral("/b"), QStringLiteral("y"), std::nullopt));
    state->prepareShortcutEdit(false);
    EXPECT_TRUE(earlier.isDetached());
    // Undo keeps what it needs of it, as before.
    ASSERT_TRUE(state->undo());
    EXPECT_EQ(triggers(state->userData().shortcuts), QStringList({"/a"}));
}

TEST_F(AppStateTest, AddingAndUpdatingRefuseTakenTriggersWithTheirMessages)
{
    ASSERT_TRUE(state->addShortcut(QStringLiteral("caf\u00e9"), QStringLiteral("x"), std::nullopt));
    EXPECT_FALSE(state->addShortcut(QStringLiteral("cafe\u0301"), QStringLiteral("y"), std::nullopt));
    EXPECT_EQ(ToastManager::shared().message(), QStringLiteral("Choose a unique trigger and add its text."));
    EXPECT_FALSE(state->addShortcut(QStringLiteral("/b"), QString(), std::nullopt));
    ASSERT_TRUE(state->addShortcut(QStringLiteral("/b"), QStringLiteral("y"), std::nullopt));
    EXPECT_FALSE(state->updateShortcut(shortcutId("/b"), QStringLiteral("caf\u00e9"), std::nullopt));
    EXPECT_EQ(
        ToastManager::shared().message(), QStringLiteral("That trigger is already used. Choose a unique trigger."));
    EXPECT_TRUE(state->updateShortcut(shortcutId("/b"), QStringLiteral("/b"), QStringLiteral("new text")));
    EXPECT_EQ(byTrigger(QStringLiteral("/b"))->expansion, QStringLiteral("new text"));
}

TEST_F(AppStateTest, DuplicatesTakeTheFirstFreeNumberedTrigger)
{
    state->addShortcut(QStringLiteral("/sig"), QStringLiteral("x"), std::nullopt);
    state->addShortcut(QStringLiteral("/sig(2)"), QStringLiteral("y"), std::nullopt);
    ASSERT_TRUE(state->duplicateShortcut(shortcutId("/sig")));
    const Shortcut* copy = byTrigger(QStringLiteral("/sig(3)"));
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->order, byTrigger(QStringLiteral("/sig"))->order + 1);
    EXPECT_FALSE(state->duplicateShortcut(QStringLiteral("missing")));
}

TEST_F(AppStateTest, DuplicatingAFolderCopiesItsDirectShortcutsOnly)
{
    state->addGroup(QStringLiteral("Work"), std::nullopt, QStringLiteral("star"), QStringLiteral("#E2725B"),
        QStringLiteral("public"));
    const QString work = groupId(QStringLiteral("Work"));
    state->addGroup(QStringLiteral("Inner"), work, std::nullopt, std::nullopt, QStringLiteral("private"));
    state->addShortcut(QStringLiteral("/w"), QStringLiteral("x"), work);
    state->addShortcut(QStringLiteral("/i"), QStringLiteral("y"), groupId(QStringLiteral("Inner")));
    ASSERT_TRUE(state->duplicateGroup(work));
    const QString copy = groupId(QStringLiteral("Work (copy)"));
    ASSERT_FALSE(copy.isEmpty());
    const auto& groups = state->userData().groups;
    const Group& g = *std::find_if(groups.begin(), groups.end(), [&](const Group& x) { return x.id == copy; });
    EXPECT_EQ(g.visibility, QStringLiteral("private"));
    EXPECT_EQ(g.icon, QStringLiteral("star"));
    EXPECT_EQ(byTrigger(QStringLiteral("/w(2)"))->groupId, copy);
    EXPECT_EQ(state->userData().groups.size(), 3);
}

TEST_F(AppStateTest, UpdatingAFolderKeepsAnIconOrColourNotGivenAndClearsOneGivenAsNone)
{
    state->addGroup(QStringLiteral("Work"), std::nullopt, QStringLiteral("custom:GONE"), QStringLiteral("#EF4444"),
        QStringLiteral("private"));
    const QString work = groupId(QStringLiteral("Work"));
    const auto folder = [&] { return state->userData().groups.first(); };
    ASSERT_TRUE(state->updateGroup(work, QStringLiteral("Work"), std::nullopt, std::nullopt));
    EXPECT_EQ(folder().icon, QStringLiteral("custom:GONE"));
    EXPECT_EQ(folder().color, QStringLiteral("#EF4444"));
    ASSERT_TRUE(state->updateGroup(work, std::nullopt, std::optional<QString>(), std::optional<QString>()));
    EXPECT_EQ(folder().icon, std::nullopt);
    EXPECT_EQ(folder().color, std::nullopt);
    ASSERT_TRUE(state->updateGroup(work, std::nullopt, QStringLiteral("star"), QStringLiteral("#3B82F6")));
    EXPECT_EQ(folder().icon, QStringLiteral("star"));
    EXPECT_EQ(onDisk().groups.first().icon, QStringLiteral("star"));
}

TEST_F(AppStateTest, DeletingAFolderRemovesItsTreeAndLeavesTombstones)
{
    state->addGroup(QStringLiteral("A"), std::nullopt, std::nullopt, std::nullopt, QStringLiteral("private"));
    state->addGroup(
        QStringLiteral("B"), groupId(QStringLiteral("A")), std::nullopt, std::nullopt, QStringLiteral("private"));
    state->addGroup(
        QStringLiteral("C"), groupId(QStringLiteral("B")), std::nullopt, std::nullopt, QStringLiteral("private"));
    state->addShortcut(QStringLiteral("/c"), QStringLiteral("x"), groupId(QStringLiteral("C")));
    state->addShortcut(QStringLiteral("/top"), QStringLiteral("x"), std::nullopt);
    state->deleteGroup(groupId(QStringLiteral("A")));
    EXPECT_TRUE(state->userData().groups.isEmpty());
    EXPECT_EQ(triggers(state->userData().shortcuts), QStringList({QStringLiteral("/top")}));
    EXPECT_EQ(state->userData().deletedIds.groups.size(), 3);
    EXPECT_EQ(state->userData().deletedIds.shortcuts.size(), 1);
}

TEST_F(AppStateTest, DeletingAsksFirstWhenConfirmationIsOn)
{
    state->updateSettings([](AppSettings& s) { s.confirmDelete = true; });
    state->addShortcut(QStringLiteral("/a"), QStringLiteral("x"), std::nullopt);
    state->addShortcut(QStringLiteral("/b"), QStringLiteral("x"), std::nullopt);
    state->addShortcut(QStringLiteral("/c"), QStringLiteral("x"), std::nullopt);
    state->setSelectedIds({shortcutId("/a"), shortcutId("/b"), shortcutId("/c")});
    state->deleteSelected();
    ASSERT_TRUE(state->pendingConfirmation());
    EXPECT_EQ(state->pendingConfirmation()->title, QStringLiteral("Delete 3 items?"));
    EXPECT_EQ(state->pendingConfirmation()->icon, QStringLiteral("trash"));
    state->cancelRequest();
    EXPECT_EQ(state->userData().shortcuts.size(), 3);
    EXPECT_EQ(state->selectedIds().size(), 3);

    state->setSelectedIds({shortcutId("/a")});
    state->deleteSelected();
    EXPECT_EQ(state->pendingConfirmation()->title, QStringLiteral("Delete?"));
    state->confirmRequest();
    EXPECT_FALSE(state->pendingConfirmation());
    EXPECT_EQ(triggers(state->userData().shortcuts), QStringList({QStringLiteral("/b"), QStringLiteral("/c")}));
    EXPECT_TRUE(state->selectedIds().isEmpty());

    state->deleteShortcut(shortcutId("/b"));
    EXPECT_EQ(state->pendingConfirmation()->title, QStringLiteral("Delete shortcut?"));
    EXPECT_EQ(state->pendingConfirmation()->message, QStringLiteral("This action cannot be undone."));
}

TEST_F(AppStateTest, UngroupingMovesContentsUpOneLevel)
{
    state->addGroup(QStringLiteral("Outer"), std::nullopt, std::nullopt, std::nullopt, QStringLiteral("private"));
    const QString outer = groupId(QStringLiteral("Outer"));
    state->addGroup(QStringLiteral("Inner"), outer, std::nullopt, std::nullopt, QStringLiteral("private"));
    const QString inner = groupId(QStringLiteral("Inner"));
    state->addGroup(QStringLiteral("Deep"), inner, std::nullopt, std::nullopt, QStringLiteral("private"));
    state->addShortcut(QStringLiteral("/s"), QStringLiteral("x"), inner);
    ASSERT_TRUE(state->ungroupFolder(inner));
    EXPECT_EQ(byTrigger(QStringLiteral("/s"))->groupId, outer);
    EXPECT_EQ(state->groupsInGroup(outer).first().name, QStringLiteral("Deep"));
    EXPECT_EQ(state->userData().deletedIds.groups.size(), 1);
}

TEST_F(AppStateTest, MovingUpAndDownRenumbersSiblings)
{
    for (const char* t : {"/a", "/b", "/c"})
        state->addShortcut(QString::fromUtf8(t), QStringLiteral("x"), std::nullopt);
    ASSERT_TRUE(state->moveItemUp(shortcutId("/a")));
    EXPECT_EQ(triggers(state->shortcutsInGroup(std::nullopt)), QStringList({"/a", "/b", "/c"}));
    EXPECT_TRUE(state->canUndo());
    ASSERT_TRUE(state->moveItemUp(shortcutId("/c")));
    EXPECT_EQ(triggers(state->shortcutsInGroup(std::nullopt)), QStringList({"/a", "/c", "/b"}));
    EXPECT_EQ(byTrigger(QStringLiteral("/b"))->order, 2);
    ASSERT_TRUE(state->moveItemDown(shortcutId("/a")));
    EXPECT_EQ(triggers(state->shortcutsInGroup(std::nullopt)), QStringList({"/c", "/a", "/b"}));
}

TEST_F(AppStateTest, ANewShortcutGoesAfterTheLastOfItsOwnFolder)
{
    const std::optional<QString> folder
        = state->addGroup(QStringLiteral("Work"), std::nullopt, std::nullopt, std::nullopt, QStringLiteral("private"));
    ASSERT_TRUE(folder);
    for (const char* t : {"/a", "/b", "/c"})
        state->addShortcut(QString::fromUtf8(t), QStringLiteral("x"), std::nullopt);
    state->addShortcut(QStringLiteral("/in"), QStringLiteral("x"), folder);
    EXPECT_EQ(byTrigger(QStringLiteral("/in"))->order, 0);
    state->addShortcut(QStringLiteral("/in2"), QStringLiteral("x"), folder);
    EXPECT_EQ(byTrigger(QStringLiteral("/in2"))->order, 1);
    state->addShortcut(QStringLiteral("/d"), QStringLiteral("x"), std::nullopt);
    EXPECT_EQ(byTrigger(QStringLiteral("/d"))->order, byTrigger(QStringLiteral("/c"))->order + 1);
}

TEST_F(AppStateTest, CopyAndPasteGoThroughTheClipboardAsCompactJson)
{
    state->addGroup(QStringLiteral("Work"), std::nullopt, std::nullopt, std::nullopt, QStringLiteral("public"));
    state->addShortcut(QStringLiteral("/sig"), QStringLiteral("x"), std::nullopt);
    state->setSelectedIds({shortcutId("/sig"), groupId(QStringLiteral("Work"))});
    state->copySelected();
    ASSERT_TRUE(clipboard.m_text);
    EXPECT_FALSE(clipboard.m_text->contains(u'\n'));
    EXPECT_EQ(state->pasteFromClipboard(), 1); // the folder exists already
    EXPECT_TRUE(byTrigger(QStringLiteral("/sig(2)")));

    clipboard.setText(QStringLiteral("just some words"));
    const UserData before = state->userData();
    EXPECT_EQ(state->pasteFromClipboard(), 0);
    EXPECT_EQ(state->userData(), before);
}

TEST_F(AppStateTest, PasteIntoAnOpenFolderThatWasRemovedLandsAtTheTopLevel)
{
    state->addShortcut(QStringLiteral("/sig"), QStringLiteral("x"), std::nullopt);
    state->setSelectedIds({shortcutId("/sig")});
    state->copySelected();
    state->addGroup(QStringLiteral("Gone"), std::nullopt, std::nullopt, std::nullopt, QStringLiteral("private"));
    state->setCurrentGroupId(groupId(QStringLiteral("Gone")));
    state->undo();
    EXPECT_EQ(state->pasteFromClipboard(), 1);
    EXPECT_FALSE(byTrigger(QStringLiteral("/sig(2)"))->groupId);
    EXPECT_TRUE(state->storageReady());
}

TEST_F(AppStateTest, QueriesSearchAcrossFoldersAndReviewDuplicates)
{
    state->addGroup(QStringLiteral("Signatures"), std::nullopt, std::nullopt, std::nullopt, QStringLiteral("private"));
    const QString sub = groupId(QStringLiteral("Signatures"));
    state->addShortcut(QStringLiteral("/sig"), QStringLiteral("Best"), sub);
    state->addShortcut(QStringLiteral("/addr"), QStringLiteral("Main street"), std::nullopt);
    state->setSearchQuery(QStringLiteral("Sig"));
    EXPECT_EQ(triggers(state->shortcutsInGroup(std::nullopt)), QStringList({QStringLiteral("/sig")}));
    EXPECT_EQ(state->groupsInGroup(std::nullopt).size(), 1);
    state->setSearchQuery(QStringLiteral(" "));
    EXPECT_EQ(triggers(state->shortcutsInGroup(std::nullopt)), QStringList({QStringLiteral("/addr")}));
    state->setSearchQuery(QString());

    editLibrary(*state, [](UserData& d) {
        for (auto [id, trigger, order] : {std::tuple{"d1", "A", 3}, {"d2", "B", 0}, {"d3", "A", 1}, {"d4", "B", 5}}) {
            Shortcut s;
            s.id = QString::fromUtf8(id);
            s.trigger = QString::fromUtf8(trigger);
            s.expansion = QStringLiteral("x");
            s.order = order;
            d.shortcuts.append(s);
        }
    });
    state->setReviewingDuplicateShortcuts(true);
    QStringList order;
    for (const Shortcut& s : state->shortcutsInGroup(QStringLiteral("ignored")))
        order << s.id;
    EXPECT_EQ(order, QStringList({"d3", "d1", "d2", "d4"}));
    EXPECT_TRUE(state->groupsInGroup(std::nullopt).isEmpty());
}

TEST_F(AppStateTest, ALargeLibraryKnowsItsTriggersFromTheStartAndAfterAnEdit)
{
    // Large enough to be counted beside the start-up; the last shortcut repeats the first's trigger.
    editLibrary(*state, [](UserData& d) {
        for (int i = 0; i < 10000; ++i) {
            Shortcut s;
            s.id = QStringLiteral("large%1").arg(i);
            s.trigger = QStringLiteral(";t%1").arg(i == 9999 ? 0 : i);
            s.expansion = QStringLiteral("x");
            s.order = i;
            d.shortcuts.append(s);
        }
    });
    open();
    EXPECT_EQ(state->duplicatedTriggerCount(), 1);
    EXPECT_TRUE(state->isTriggerTaken(QStringLiteral(";t5000")));
    EXPECT_FALSE(state->isTriggerTaken(QStringLiteral(";t9999")));
    ASSERT_TRUE(state->addShortcut(QStringLiteral(";t9999"), QStringLiteral("y"), std::nullopt));
    state->waitForWrites();
    EXPECT_TRUE(state->isTriggerTaken(QStringLiteral(";t9999")));
    EXPECT_FALSE(state->addShortcut(QStringLiteral(";t1"), QStringLiteral("z"), std::nullopt));
    EXPECT_EQ(state->duplicatedTriggerCount(), 1);
}

TEST_F(AppStateTest, TriggersDifferingOnlyInNormalisationAreBothReviewedAsDuplicates)
{
    editLibrary(*state, [](UserData& d) {
        // "/café" composed, then with the accent as a combining mark.
        for (auto [id, trigger] : {std::pair{"nfc", u"/caf\u00E9"}, {"nfd", u"/cafe\u0301"}}) {
            Shortcut s;
            s.id = QString::fromUtf8(id);
            s.trigger = QString::fromUtf16(trigger);
            s.expansion = QStringLiteral("x");
            d.shortcuts.append(s);
        }
    });
    state->setReviewingDuplicateShortcuts(true);
    EXPECT_EQ(state->shortcutsInGroup(std::nullopt).size(), 2);
}

TEST_F(AppStateTest, BreadcrumbsRunFromTheOutermostFolder)
{
    EXPECT_TRUE(state->breadcrumbs().isEmpty());
    state->addGroup(QStringLiteral("A"), std::nullopt, std::nullopt, std::nullopt, QStringLiteral("private"));
    state->addGroup(
        QStringLiteral("B"), groupId(QStringLiteral("A")), std::nullopt, std::nullopt, QStringLiteral("private"));
    state->addGroup(
        QStringLiteral("C"), groupId(QStringLiteral("B")), std::nullopt, std::nullopt, QStringLiteral("private"));
    state->setCurrentGroupId(groupId(QStringLiteral("C")));
    QStringList names;
    for (const Group& g : state->breadcrumbs())
        names << g.name;
    EXPECT_EQ(names, QStringList({"A", "B", "C"}));
    state->setCurrentGroupId(QStringLiteral("nowhere"));
    EXPECT_TRUE(state->breadcrumbs().isEmpty());
}

TEST_F(AppStateTest, CustomIconsAreUndoableAndLeaveTombstones)
{
    const auto id = state->addCustomIcon(QStringLiteral("Star"), QStringLiteral("<svg/>"));
    ASSERT_TRUE(id);
    EXPECT_EQ(state->userData().customIcons.size(), 1);
    EXPECT_TRUE(state->removeCustomIcon(QStringLiteral("never-existed")));
    EXPECT_EQ(state->userData().deletedIds.customIcons.size(), 1);
    failWrites = true;
    EXPECT_FALSE(state->addCustomIcon(QStringLiteral("Moon"), QStringLiteral("<svg/>")));
}

TEST_F(AppStateTest, RecordingAnExpansionCountsSavesAndShowsTheFloater)
{
    state->addShortcut(QStringLiteral("/sig"), QStringLiteral("Best regards"), std::nullopt);
    state->recordExpansion(QStringLiteral("/sig"), 333);
    const Stats& s = state->stats();
    EXPECT_EQ(s.totalExpansions, 1);
    EXPECT_DOUBLE_EQ(s.totalTimeSaved, 100.0);
    EXPECT_EQ(s.totalCharsSaved, 333);
    EXPECT_EQ(s.perShortcut.value(shortcutId("/sig")).count, 1);
    EXPECT_EQ(s.dailyBuckets.value(QStringLiteral("2025-03-01")), 1);
    EXPECT_EQ(s.streak.current, 1);
    EXPECT_EQ(s.streak.lastDay, QStringLiteral("2025-03-01"));
    EXPECT_EQ(floaters, QList<double>({100.0}));
    const Stats onDisk = VelmoraJSON::decode<Stats>(dir.read(QStringLiteral("stats.json")));
    EXPECT_EQ(onDisk.totalExpansions, 1);

    state->recordExpansion(QStringLiteral("/gone"), -4);
    EXPECT_EQ(state->stats().totalExpansions, 2);
    EXPECT_DOUBLE_EQ(state->stats().totalTimeSaved, 100.0);
    EXPECT_EQ(floaters.last(), 0.0);
}

TEST_F(AppStateTest, AnExpansionReportedWithItsShortcutIsCountedByIdAndStillEarnsWhatTheLibraryHolds)
{
    state->addShortcut(QStringLiteral("/sig"), QStringLiteral("Best regards"), std::nullopt);
    // Statistics that never saw this library's achievements, as after a restore.
    Stats unstamped = Stats::empty();
    unstamped.firstUseFlags.insert(AchievementEngine::migrationFlag);
    ASSERT_TRUE(store->saveStats(unstamped));
    open();
    state->recordShortcutExpansion(shortcutId("/sig"), 12);
    state->recordShortcutExpansion(QString(), 3);
    const Stats& s = state->stats();
    EXPECT_EQ(s.totalExpansions, 2);
    EXPECT_EQ(s.totalCharsSaved, 15);
    EXPECT_EQ(s.perShortcut.keys(), QStringList{shortcutId("/sig")});
    EXPECT_EQ(s.perShortcut.value(shortcutId("/sig")).count, 1);
    for (const char* id : {"volume_1", "library_first", "egg_sig"})
        EXPECT_TRUE(s.unlocked.contains(QString::fromUtf8(id))) << id;
}

TEST_F(AppStateTest, CountersAtTheirLargestValueStayThere)
{
    constexpr qint64 largest = std::numeric_limits<qint64>::max();
    Stats full = Stats::empty();
    full.totalExpansions = largest;
    full.totalCharsSaved = largest - 1;
    full.dailyBuckets.insert(QStringLiteral("2025-03-01"), largest);
    dir.write(QStringLiteral("stats.json"), VelmoraJSON::encode(full));
    open();
    state->recordExpansion(QStringLiteral("/x"), 5);
    state->recordExpansion(QStringLiteral("/x"), 5);
    EXPECT_EQ(state->stats().totalExpansions, largest);
    EXPECT_EQ(state->stats().totalCharsSaved, largest);
    EXPECT_EQ(state->stats().dailyBuckets.value(QStringLiteral("2025-03-01")), largest);
}

TEST_F(AppStateTest, StreaksFollowDayKeysOfTheUsersTimeZone)
{
    clock.setTimeZone(QTimeZone("America/New_York"));
    clock.set(QDateTime(QDate(2025, 3, 1), QTime(23, 30), QTimeZone("America/New_York")));
    state->recordExpansion(QStringLiteral("/x"), 1);
    EXPECT_EQ(state->stats().streak.lastDay, QStringLiteral("2025-03-01"));
    clock.advance(3600); // past local midnight
    state->recordExpansion(QStringLiteral("/x"), 1);
    EXPECT_EQ(state->stats().streak.current, 2);
    clock.advanceDays(3);
    state->recordExpansion(QStringLiteral("/x"), 1);
    EXPECT_EQ(state->stats().streak.current, 1);
    EXPECT_EQ(state->stats().streak.longest, 2);
}

TEST_F(AppStateTest, DailyBucketsArePrunedOnceThereAre366AndTimestampsCappedAt60)
{
    editLibrary(*state, [](UserData&) {});
    Stats seeded = state->stats();
    for (int i = 0; i < 365; ++i)
        seeded.dailyBuckets.insert(QDate(2020, 1, 1).addDays(i).toString(QStringLiteral("yyyy-MM-dd")), 1);
    for (int i = 0; i < 100; ++i)
        seeded.recentExpansionTimestamps.append(clock.now().addDays(-10).addSecs(i));
    ASSERT_TRUE(store->saveStats(seeded));
    open();
    state->recordExpansion(QStringLiteral("/x"), 1);
    EXPECT_EQ(state->stats().dailyBuckets.size(), 1);
    EXPECT_EQ(state->stats().recentExpansionTimestamps.size(), 60);
    EXPECT_EQ(state->stats().recentExpansionTimestamps.last(), clock.now());
}

TEST_F(AppStateTest, AFailedStatisticsWriteRestoresEveryField)
{
    state->recordExpansion(QStringLiteral("/x"), 10);
    const QByteArray before = VelmoraJSON::encode(state->stats());
    failWrites = true;
    state->recordExpansion(QStringLiteral("/x"), 10);
    EXPECT_EQ(VelmoraJSON::encode(state->stats()), before);
}

TEST_F(AppStateTest, AchievementsOfOneCheckShareADateAndAreAnnouncedPointFourSecondsApart)
{
    editLibrary(*state, [](UserData& d) {
        for (int i = 0; i < 30; ++i) {
            Shortcut s;
            s.id = QStringLiteral("S%1").arg(i);
            s.trigger = QStringLiteral("/t%1").arg(i);
            s.expansion = QStringLiteral("x");
            d.shortcuts.append(s);
        }
        for (int i = 0; i < 12; ++i) {
            Group g;
            g.id = QStringLiteral("G%1").arg(i);
            g.name = g.id;
            d.groups.append(g);
        }
    });
    const auto& unlocked = state->stats().unlocked;
    EXPECT_EQ(unlocked.size(), 5);
    EXPECT_EQ(unlocked.value(QStringLiteral("library_first")), unlocked.value(QStringLiteral("folder_10")));
    const std::vector<double> delays = scheduler.pendingDelays();
    ASSERT_EQ(delays.size(), 5u);
    for (size_t i = 0; i < delays.size(); ++i)
        EXPECT_NEAR(delays[i], 0.4 * double(i), 1e-9);
    scheduler.advance(2);
    EXPECT_EQ(announced, QList<QString>({"library_first", "library_5", "library_25", "folder_first", "folder_10"}));

    // A second check finds nothing new.
    editLibrary(*state, [](UserData&) {});
    EXPECT_EQ(announced.size(), 5);
}

TEST_F(AppStateTest, FirstMultiSelectionSetsItsFlagOnce)
{
    state->setSelectedIds({QStringLiteral("a"), QStringLiteral("b")});
    EXPECT_TRUE(state->stats().firstUseFlags.contains(QStringLiteral("discovery_multi")));
    EXPECT_EQ(announced, QList<QString>());
    scheduler.advance(1);
    EXPECT_EQ(announced, QList<QString>({"discovery_multi"}));
}

TEST_F(AppStateTest, StartUpBackfillStampsWithoutBanners)
{
    Stats seeded = Stats::empty();
    seeded.totalExpansions = 120;
    ASSERT_TRUE(store->saveStats(seeded));
    open();
    EXPECT_EQ(state->stats().unlocked.size(), 2);
    EXPECT_TRUE(state->stats().firstUseFlags.contains(QStringLiteral("achievements_migration_v1")));
    scheduler.advance(5);
    EXPECT_TRUE(announced.isEmpty());
}

TEST_F(AppStateTest, RetryAfterRepairReloadsAndResetsTheViewState)
{
    state->addShortcut(QStringLiteral("/a"), QStringLiteral("x"), std::nullopt);
    state->addShortcut(QStringLiteral("/b"), QStringLiteral("x"), std::nullopt);
    dir.write(QStringLiteral("data.json"), "{ broken");
    open();
    EXPECT_FALSE(state->storageReady());
    EXPECT_FALSE(state->addShortcut(QStringLiteral("/c"), QStringLiteral("y"), std::nullopt));
    ASSERT_TRUE(store->restoreBackup(LocalStore::Resource::library));
    state->retryStorage();
    EXPECT_TRUE(state->storageReady());
    EXPECT_FALSE(state->canUndo());
}
