#include "Views/MenuBar/forms/ShortcutFormView.h"
#include "App/State/AppState.h"
#include "LibraryEditing.h"
#include "LibraryFixtures.h"
#include "ManualScheduler.h"
#include "Persistence/LocalStore.h"
#include "Persistence/StorageTestSupport.h"
#include "ScreenKeysHost.h"
#include "Services/TutorialManager.h"
#include "TempDir.h"
#include "Utilities/ToastManager.h"
#include "Views/Components/FormErrorLine.h"
#include "Views/Components/GlassButton.h"
#include "Views/Components/GlassTextArea.h"
#include "Views/Components/GlassTextInput.h"
#include "Views/Components/ScreenHeader.h"
#include "Views/Components/SymbolButton.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/MenuBar/forms/FolderMenuButton.h"
#include "Views/MenuBar/forms/NewFolderRow.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

using LibraryFixtures::folder;
using LibraryFixtures::shortcut;

namespace {

// The real form over a real store in a temporary folder, whose library writes can be made
// to fail.
struct ShortcutFormTest : ::testing::Test {
    TempDir dir;
    ManualScheduler scheduler;
    StorageTest::ControlledWriter writer;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<AppState> state;
    std::unique_ptr<ShortcutFormView> form;
    QStringList screens;
    QStringList toasts;
    QMetaObject::Connection toastWatch;

    void SetUp() override
    {
        store = std::make_unique<LocalStore>(dir.path(), writer.writer());
        state = std::make_unique<AppState>(*store);
        AppState::setShared(state.get());
        ASSERT_TRUE(state->storageReady());
        ASSERT_TRUE(state->updateSettings([](AppSettings& s) { s.confirmDelete = false; }));
        toastWatch = QObject::connect(&ToastManager::shared(), &ToastManager::messageChanged, [this] {
            if (ToastManager::shared().message())
                toasts << *ToastManager::shared().message();
        });
    }

    void TearDown() override
    {
        QObject::disconnect(toastWatch);
        form.reset();
        TutorialManager::shared().skip();
        AppState::setShared(nullptr);
    }

    void failLibraryWrites() { writer.failFilesNamed(QStringLiteral("data.json")); }

    void seed(const QList<Group>& groups, const QList<Shortcut>& shortcuts)
    {
        ASSERT_TRUE(editLibrary(*state, [&](UserData& d) {
            d.groups = groups;
            d.shortcuts = shortcuts;
        }));
    }

    void open(std::optional<Shortcut> editing = std::nullopt)
    {
        form = std::make_unique<ShortcutFormView>(*state, std::move(editing));
        QObject::connect(form.get(), &ShortcutFormView::screenRequested,
            [this](const PopoverScreen& screen) { screens << screen.tag(); });
        new ScreenKeysHost(form.get());
        form->resize(340, 560);
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    void openEditing(const QString& trigger)
    {
        const Shortcut* s = LibraryFixtures::shortcutWithTrigger(state->userData(), trigger);
        ASSERT_NE(s, nullptr);
        open(*s);
    }

    QLineEdit* triggerEdit() const { return form->triggerField()->lineEdit(); }
    QPlainTextEdit* expansionEdit() const { return form->expansionArea()->editor(); }

    void type(const QString& trigger, const QString& expansion)
    {
        triggerEdit()->clear();
        QTest::keyClicks(triggerEdit(), trigger);
        expansionEdit()->clear();
        QTest::keyClicks(expansionEdit(), expansion);
    }

    static void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center()); }

    QMenu* openFolderMenu() const
    {
        click(form->folderMenu());
        QMenu* menu = form->folderMenu()->menu();
        EXPECT_TRUE(menu && menu->isVisible());
        return menu;
    }

    static QStringList titles(const QMenu* menu)
    {
        QStringList out;
        for (const QAction* action : menu->actions())
            out << action->iconText();
        return out;
    }

    void chooseFolder(const QString& title) const
    {
        QMenu* menu = openFolderMenu();
        for (QAction* action : menu->actions()) {
            if (action->iconText() == title) {
                action->trigger();
                menu->close();
                return;
            }
        }
        ADD_FAILURE() << "no menu item " << title.toStdString();
    }

    UserData onDisk() const { return VelmoraJSON::decode<UserData>(dir.read(QStringLiteral("data.json"))); }

    const Shortcut* stored(const QString& trigger) const
    {
        for (const Shortcut& s : state->userData().shortcuts) {
            if (s.trigger == trigger)
                return &s;
        }
        return nullptr;
    }

    void startTutorialAt(int step)
    {
        TutorialManager& tutorial = TutorialManager::shared();
        tutorial.start();
        while (tutorial.currentStep() < step)
            tutorial.next();
    }
};

// ---------------------------------------------------------------- a new shortcut

TEST_F(ShortcutFormTest, ANewShortcutIsWrittenAnnouncedAndTheFormReturnsToTheList)
{
    open();
    EXPECT_EQ(form->header()->titleLabel()->text(), QStringLiteral("New shortcut"));
    EXPECT_EQ(triggerEdit()->placeholderText(), QStringLiteral("/sig"));
    EXPECT_EQ(form->deleteButton(), nullptr);
    EXPECT_FALSE(form->saveButton()->isEnabled());

    type(QStringLiteral("  /sig  "), QStringLiteral("Best regards"));
    QTest::keyClick(expansionEdit(), Qt::Key_Return);
    ASSERT_TRUE(form->saveButton()->isEnabled());
    click(form->saveButton());

    ASSERT_EQ(onDisk().shortcuts.size(), 1);
    const Shortcut written = onDisk().shortcuts.first();
    EXPECT_EQ(written.trigger, QStringLiteral("/sig"));
    // Spaces go from the ends of the text, a line break stays.
    EXPECT_EQ(written.expansion, QStringLiteral("Best regards\n"));
    EXPECT_EQ(written.groupId, std::nullopt);
    EXPECT_EQ(toasts, QStringList{QStringLiteral("Shortcut created")});
    EXPECT_EQ(screens, QStringList{QStringLiteral("main")});
}

TEST_F(ShortcutFormTest, APastedTriggerLosesItsLineBreaksSoItCanExpand)
{
    open();
    triggerEdit()->setText(QStringLiteral("/sig\n"));
    expansionEdit()->setPlainText(QStringLiteral("Best regards"));
    form->save();
    ASSERT_NE(stored(QStringLiteral("/sig")), nullptr);
    EXPECT_EQ(state->userData().shortcuts.size(), 1);
}

TEST_F(ShortcutFormTest, SaveStaysDisabledUntilBothTextsHoldMoreThanSpaceAndLineBreaks)
{
    open();
    type(QStringLiteral("/sig"), QStringLiteral("  "));
    QTest::keyClick(expansionEdit(), Qt::Key_Return);
    EXPECT_FALSE(form->canSave());
    EXPECT_FALSE(form->saveButton()->isEnabled());
    QTest::keyClick(triggerEdit(), Qt::Key_Return);
    click(form->saveButton());
    EXPECT_TRUE(state->userData().shortcuts.isEmpty());
    EXPECT_TRUE(screens.isEmpty());

    type(QStringLiteral(" \t "), QStringLiteral("text"));
    EXPECT_FALSE(form->saveButton()->isEnabled());
    type(QStringLiteral("/a"), QStringLiteral("text"));
    EXPECT_TRUE(form->saveButton()->isEnabled());
}

TEST_F(ShortcutFormTest, ANewShortcutStartsInTheFolderTheListHasOpen)
{
    seed({folder(QStringLiteral("F"), QStringLiteral("Work"))}, {});
    open();
    EXPECT_EQ(form->selectedGroupId(), std::nullopt);
    EXPECT_EQ(form->folderMenu()->folderName(), QStringLiteral("None"));

    state->setCurrentGroupId(QStringLiteral("F"));
    open();
    EXPECT_EQ(form->selectedGroupId(), QStringLiteral("F"));
    EXPECT_EQ(form->folderMenu()->folderName(), QStringLiteral("Work"));
    type(QStringLiteral("/w"), QStringLiteral("work text"));
    click(form->saveButton());
    EXPECT_EQ(stored(QStringLiteral("/w"))->groupId, QStringLiteral("F"));
}

// ---------------------------------------------------------------- duplicates

TEST_F(ShortcutFormTest, ATriggerInUseShowsTheErrorAndKeepsTheForm)
{
    seed({}, {shortcut(QStringLiteral("S1"), QStringLiteral("/sig"))});
    open();
    type(QStringLiteral(" /sig "), QStringLiteral("other text"));
    click(form->saveButton());
    EXPECT_EQ(form->errorMessage(), QStringLiteral("Shortcut already exists"));
    EXPECT_EQ(form->errorLine()->textLabel()->text(), QStringLiteral("Shortcut already exists"));
    EXPECT_TRUE(form->errorLine()->isVisible());
    // A screen reader hears it as it hears a toast: a notification shows with the message.
    const QList<QWidget*> parts = form->errorLine()->findChildren<QWidget*>();
    EXPECT_TRUE(std::any_of(parts.begin(), parts.end(), [](QWidget* part) {
        const QAccessibleInterface* told = QAccessible::queryAccessibleInterface(part);
        return part->isVisible() && told->role() == QAccessible::Notification
            && told->text(QAccessible::Name) == QStringLiteral("Shortcut already exists");
    }));
    EXPECT_EQ(state->userData().shortcuts.size(), 1);
    EXPECT_TRUE(screens.isEmpty());
    EXPECT_TRUE(toasts.isEmpty());
    EXPECT_EQ(triggerEdit()->text(), QStringLiteral(" /sig "));

    // One more character in either field takes the line away.
    QTest::keyClicks(expansionEdit(), QStringLiteral("!"));
    EXPECT_EQ(form->errorMessage(), std::nullopt);
    // It slides away and then takes no space at all.
    EXPECT_TRUE(QTest::qWaitFor([this] { return !form->errorLine()->isVisible(); }, 2000));
    click(form->saveButton());
    ASSERT_TRUE(form->errorMessage());
    QTest::keyClicks(triggerEdit(), QStringLiteral("2"));
    EXPECT_EQ(form->errorMessage(), std::nullopt);
}

TEST_F(ShortcutFormTest, CanonicallyEquivalentTriggersAreTheSameButLetterCaseDiffers)
{
    seed({},
        {shortcut(QStringLiteral("S1"), QStringLiteral("/caf\u00E9")),
            shortcut(QStringLiteral("S2"), QStringLiteral("/sig"))});
    open();
    triggerEdit()->setText(QStringLiteral("/cafe\u0301"));
    expansionEdit()->setPlainText(QStringLiteral("coffee"));
    EXPECT_TRUE(form->isDuplicate());
    form->save();
    EXPECT_EQ(form->errorMessage(), QStringLiteral("Shortcut already exists"));

    type(QStringLiteral("/Sig"), QStringLiteral("capital"));
    EXPECT_FALSE(form->isDuplicate());
    form->save();
    EXPECT_NE(stored(QStringLiteral("/Sig")), nullptr);
    EXPECT_EQ(screens, QStringList{QStringLiteral("main")});
}

TEST_F(ShortcutFormTest, ATriggerWithATrailingLineBreakIsStillADuplicate)
{
    seed({}, {shortcut(QStringLiteral("S1"), QStringLiteral("/sig"))});
    open();
    triggerEdit()->setText(QStringLiteral("/sig\u2028"));
    expansionEdit()->setPlainText(QStringLiteral("again"));
    EXPECT_TRUE(form->isDuplicate());
    form->save();
    EXPECT_EQ(form->errorMessage(), QStringLiteral("Shortcut already exists"));
    EXPECT_EQ(state->userData().shortcuts.size(), 1);
}

// ---------------------------------------------------------------- editing

TEST_F(ShortcutFormTest, EditingFillsTheFormAndSavesTextsThenFolderAsTwoSteps)
{
    seed({folder(QStringLiteral("F"), QStringLiteral("Work")), folder(QStringLiteral("G"), QStringLiteral("Home"))},
        {shortcut(QStringLiteral("S1"), QStringLiteral("/sig"), QStringLiteral("F"))});
    openEditing(QStringLiteral("/sig"));
    EXPECT_EQ(form->header()->titleLabel()->text(), QStringLiteral("Edit shortcut"));
    EXPECT_EQ(triggerEdit()->text(), QStringLiteral("/sig"));
    EXPECT_EQ(expansionEdit()->toPlainText(), QStringLiteral("text of /sig"));
    EXPECT_EQ(form->folderMenu()->folderName(), QStringLiteral("Work"));
    ASSERT_NE(form->deleteButton(), nullptr);
    EXPECT_EQ(form->deleteButton()->text(), QStringLiteral("Delete shortcut"));

    // Its own trigger is no duplicate.
    QTest::keyClick(expansionEdit(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(expansionEdit(), QStringLiteral(" and more"));
    chooseFolder(QStringLiteral("Home"));
    click(form->saveButton());
    EXPECT_EQ(form->errorMessage(), std::nullopt);
    EXPECT_EQ(toasts, QStringList{QStringLiteral("Shortcut updated")});
    EXPECT_EQ(screens, QStringList{QStringLiteral("main")});
    const Shortcut* edited = stored(QStringLiteral("/sig"));
    ASSERT_NE(edited, nullptr);
    EXPECT_EQ(edited->expansion, QStringLiteral("text of /sig and more"));
    EXPECT_EQ(edited->groupId, QStringLiteral("G"));

    ASSERT_TRUE(state->undo());
    EXPECT_EQ(stored(QStringLiteral("/sig"))->groupId, QStringLiteral("F"));
    EXPECT_EQ(stored(QStringLiteral("/sig"))->expansion, QStringLiteral("text of /sig and more"));
    ASSERT_TRUE(state->undo());
    EXPECT_EQ(stored(QStringLiteral("/sig"))->expansion, QStringLiteral("text of /sig"));
}

TEST_F(ShortcutFormTest, SavingAnUnchangedEditWritesNothing)
{
    seed({}, {shortcut(QStringLiteral("S1"), QStringLiteral("/sig"))});
    openEditing(QStringLiteral("/sig"));
    writer.written.clear();
    click(form->saveButton());
    EXPECT_EQ(screens, QStringList{QStringLiteral("main")});
    EXPECT_EQ(toasts, QStringList{QStringLiteral("Shortcut updated")});
    EXPECT_TRUE(writer.written.isEmpty());
    // The only undo step is the seeding itself.
    EXPECT_TRUE(state->undo());
    EXPECT_TRUE(state->userData().shortcuts.isEmpty());
}

TEST_F(ShortcutFormTest, EditingOnlyTheTextWritesTheLibraryOnce)
{
    seed({folder(QStringLiteral("F"), QStringLiteral("Work"))},
        {shortcut(QStringLiteral("S1"), QStringLiteral("/sig"), QStringLiteral("F"))});
    openEditing(QStringLiteral("/sig"));
    writer.written.clear();
    QTest::keyClick(expansionEdit(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(expansionEdit(), QStringLiteral("!"));
    click(form->saveButton());
    EXPECT_EQ(std::count_if(writer.written.cbegin(), writer.written.cend(),
                  [](const QString& path) { return path.endsWith(QStringLiteral("/data.json")); }),
        1);
    EXPECT_EQ(stored(QStringLiteral("/sig"))->expansion, QStringLiteral("text of /sig!"));
    EXPECT_EQ(stored(QStringLiteral("/sig"))->groupId, QStringLiteral("F"));
    ASSERT_TRUE(state->undo());
    EXPECT_EQ(stored(QStringLiteral("/sig"))->expansion, QStringLiteral("text of /sig"));
}

TEST_F(ShortcutFormTest, EditingToAnotherShortcutsTriggerIsRefused)
{
    seed({},
        {shortcut(QStringLiteral("S1"), QStringLiteral("/sig")),
            shortcut(QStringLiteral("S2"), QStringLiteral("/addr"))});
    openEditing(QStringLiteral("/sig"));
    triggerEdit()->setText(QStringLiteral("/addr"));
    click(form->saveButton());
    EXPECT_EQ(form->errorMessage(), QStringLiteral("Shortcut already exists"));
    EXPECT_TRUE(screens.isEmpty());
    EXPECT_NE(stored(QStringLiteral("/sig")), nullptr);
}

// ---------------------------------------------------------------- folders

TEST_F(ShortcutFormTest, TheFolderMenuOffersNoneThenEveryFolderFlatInLibraryOrder)
{
    seed({folder(QStringLiteral("B"), QStringLiteral("Work")),
             folder(QStringLiteral("C"), QStringLiteral("Clients"), QStringLiteral("B")),
             folder(QStringLiteral("A"), QStringLiteral("R&D"))},
        {});
    open();
    QMenu* menu = openFolderMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(titles(menu),
        QStringList(
            {QStringLiteral("None"), QStringLiteral("Work"), QStringLiteral("Clients"), QStringLiteral("R&D")}));
    menu->close();

    chooseFolder(QStringLiteral("Clients"));
    EXPECT_EQ(form->selectedGroupId(), QStringLiteral("C"));
    EXPECT_EQ(form->folderMenu()->folderName(), QStringLiteral("Clients"));
    chooseFolder(QStringLiteral("None"));
    EXPECT_EQ(form->selectedGroupId(), std::nullopt);
    EXPECT_EQ(form->folderMenu()->folderName(), QStringLiteral("None"));
}

TEST_F(ShortcutFormTest, TheMenuIsAnnouncedAsFolderWithTheChosenNameAsItsValue)
{
    seed({folder(QStringLiteral("F"), QStringLiteral("Work"))}, {});
    open();
    chooseFolder(QStringLiteral("Work"));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(form->folderMenu());
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::ButtonMenu);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Folder"));
    EXPECT_EQ(accessible->text(QAccessible::Value), QStringLiteral("Work"));
}

TEST_F(ShortcutFormTest, AChosenFolderDeletedElsewhereReadsNoneAndTheShortcutGoesToTheTopLevel)
{
    seed({folder(QStringLiteral("F"), QStringLiteral("Work"))}, {});
    open();
    chooseFolder(QStringLiteral("Work"));
    ASSERT_TRUE(editLibrary(*state, [](UserData& d) { d.groups.clear(); }));
    EXPECT_EQ(form->folderMenu()->folderName(), QStringLiteral("None"));
    EXPECT_EQ(form->selectedFolderName(), QStringLiteral("None"));
    type(QStringLiteral("/sig"), QStringLiteral("text"));
    click(form->saveButton());
    ASSERT_NE(stored(QStringLiteral("/sig")), nullptr);
    EXPECT_EQ(stored(QStringLiteral("/sig"))->groupId, std::nullopt);
    EXPECT_EQ(screens, QStringList{QStringLiteral("main")});
}

TEST_F(ShortcutFormTest, AnInlineFolderIsMadeInsideTheOpenFolderAndChosen)
{
    seed({folder(QStringLiteral("F"), QStringLiteral("Clients"), std::nullopt, 3),
             folder(QStringLiteral("G"), QStringLiteral("Home"), std::nullopt, 4),
             folder(QStringLiteral("H"), QStringLiteral("Old"), QStringLiteral("F"), 5)},
        {});
    state->setCurrentGroupId(QStringLiteral("F"));
    open();
    chooseFolder(QStringLiteral("Home"));
    NewFolderRow* row = form->newFolderRow();
    EXPECT_FALSE(row->isOpen());
    click(row->link());
    ASSERT_TRUE(row->isOpen());
    EXPECT_TRUE(row->nameInput()->isVisible());
    EXPECT_FALSE(row->link()->isVisible());
    EXPECT_EQ(row->nameInput()->lineEdit()->placeholderText(), QStringLiteral("New folder name"));
    EXPECT_TRUE(row->nameInput()->lineEdit()->hasFocus());
    EXPECT_EQ(row->createButton()->accessibleName(), QStringLiteral("Create folder"));
    EXPECT_EQ(row->cancelButton()->accessibleName(), QStringLiteral("Cancel new folder"));

    QTest::keyClicks(row->nameInput()->lineEdit(), QStringLiteral("   "));
    EXPECT_FALSE(row->createButton()->isEnabled());
    QTest::keyClick(row->nameInput()->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(state->userData().groups.size(), 3);
    EXPECT_TRUE(row->isOpen());

    type(QStringLiteral("/sig"), QStringLiteral("text"));
    QTest::keyClicks(row->nameInput()->lineEdit(), QStringLiteral("Work  "));
    EXPECT_TRUE(row->createButton()->isEnabled());
    // Return here makes the folder; it does not save the form.
    QTest::keyClick(row->nameInput()->lineEdit(), Qt::Key_Return);
    ASSERT_EQ(onDisk().groups.size(), 4);
    const Group made = onDisk().groups.last();
    EXPECT_EQ(made.name, QStringLiteral("Work"));
    EXPECT_EQ(made.parentGroupId, QStringLiteral("F"));
    EXPECT_EQ(made.order, 0);
    EXPECT_FALSE(made.collapsed);
    EXPECT_EQ(made.visibility, QStringLiteral("private"));
    EXPECT_EQ(made.icon, std::nullopt);
    EXPECT_EQ(made.color, std::nullopt);
    EXPECT_EQ(made.id, made.id.toUpper());
    EXPECT_EQ(made.id.size(), 36);
    EXPECT_EQ(form->selectedGroupId(), made.id);
    EXPECT_EQ(form->folderMenu()->folderName(), QStringLiteral("Work"));
    EXPECT_FALSE(row->isOpen());
    EXPECT_TRUE(row->name().isEmpty());
    EXPECT_EQ(toasts, QStringList{QStringLiteral("Folder created")});
    EXPECT_TRUE(screens.isEmpty());
    EXPECT_TRUE(state->userData().shortcuts.isEmpty());

    click(form->saveButton());
    EXPECT_EQ(stored(QStringLiteral("/sig"))->groupId, made.id);
}

TEST_F(ShortcutFormTest, TheCreateButtonMakesTheFolderAndCancelDropsTheName)
{
    open();
    NewFolderRow* row = form->newFolderRow();
    click(row->link());
    QTest::keyClicks(row->nameInput()->lineEdit(), QStringLiteral("Drafts"));
    click(row->cancelButton());
    EXPECT_FALSE(row->isOpen());
    EXPECT_TRUE(state->userData().groups.isEmpty());
    click(row->link());
    EXPECT_TRUE(row->name().isEmpty());
    EXPECT_FALSE(row->createButton()->isEnabled());

    QTest::keyClicks(row->nameInput()->lineEdit(), QStringLiteral("Drafts"));
    click(row->createButton());
    ASSERT_EQ(state->userData().groups.size(), 1);
    EXPECT_EQ(state->userData().groups.first().parentGroupId, std::nullopt);
    EXPECT_EQ(form->folderMenu()->folderName(), QStringLiteral("Drafts"));
}

// ---------------------------------------------------------------- delete

TEST_F(ShortcutFormTest, DeleteWithConfirmationAsksOverTheListAndKeepsTheShortcut)
{
    ASSERT_TRUE(state->updateSettings([](AppSettings& s) { s.confirmDelete = true; }));
    seed({}, {shortcut(QStringLiteral("S1"), QStringLiteral("/sig"))});
    openEditing(QStringLiteral("/sig"));
    click(form->deleteButton());
    EXPECT_EQ(screens, QStringList{QStringLiteral("main")});
    ASSERT_TRUE(state->pendingConfirmation());
    EXPECT_EQ(state->pendingConfirmation()->title, QStringLiteral("Delete shortcut?"));
    EXPECT_NE(stored(QStringLiteral("/sig")), nullptr);
    EXPECT_TRUE(toasts.isEmpty());
    state->confirmRequest();
    EXPECT_EQ(stored(QStringLiteral("/sig")), nullptr);
}

TEST_F(ShortcutFormTest, DeleteWithoutConfirmationIsDoneBeforeTheListShows)
{
    seed({}, {shortcut(QStringLiteral("S1"), QStringLiteral("/sig"))});
    openEditing(QStringLiteral("/sig"));
    QObject::connect(
        form.get(), &ShortcutFormView::screenRequested, [this] { EXPECT_EQ(stored(QStringLiteral("/sig")), nullptr); });
    click(form->deleteButton());
    EXPECT_EQ(screens, QStringList{QStringLiteral("main")});
    EXPECT_FALSE(state->pendingConfirmation());
    EXPECT_TRUE(onDisk().shortcuts.isEmpty());
    EXPECT_TRUE(toasts.isEmpty());
}

// ---------------------------------------------------------------- keys and leaving

TEST_F(ShortcutFormTest, ReturnSavesAndInTheTextAreaStartsANewLine)
{
    open();
    type(QStringLiteral("/sig"), QStringLiteral("Line one"));
    QTest::keyClick(expansionEdit(), Qt::Key_Return);
    QTest::keyClicks(expansionEdit(), QStringLiteral("Line two"));
    EXPECT_TRUE(screens.isEmpty());
    QTest::keyClick(triggerEdit(), Qt::Key_Return);
    ASSERT_NE(stored(QStringLiteral("/sig")), nullptr);
    EXPECT_EQ(stored(QStringLiteral("/sig"))->expansion, QStringLiteral("Line one\nLine two"));
    EXPECT_EQ(screens, QStringList{QStringLiteral("main")});
}

TEST_F(ShortcutFormTest, ReturnOnTheKeypadAndFromTheFolderMenuSavesToo)
{
    open();
    type(QStringLiteral("/a"), QStringLiteral("x"));
    QTest::keyClick(triggerEdit(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_NE(stored(QStringLiteral("/a")), nullptr);

    open();
    type(QStringLiteral("/b"), QStringLiteral("x"));
    form->folderMenu()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->folderMenu(), Qt::Key_Return);
    EXPECT_NE(stored(QStringLiteral("/b")), nullptr);
}

TEST_F(ShortcutFormTest, TabGoesDownTheScreenFromBackToSave)
{
    seed({}, {shortcut(QStringLiteral("S1"), QStringLiteral("/sig"))});
    openEditing(QStringLiteral("/sig"));
    expansionEdit()->setTabChangesFocus(true);
    form->header()->backButton()->setFocus(Qt::TabFocusReason);
    QStringList reached;
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        const QWidget* focus = QApplication::focusWidget();
        reached << (focus->accessibleName().isEmpty() ? focus->property("text").toString() : focus->accessibleName());
    }
    // The new-folder row is closed: its field and buttons are skipped.
    EXPECT_EQ(reached,
        QStringList({QStringLiteral("Shortcut"), QStringLiteral("Expands to"), QStringLiteral("Folder"),
            QStringLiteral("New folder"), QStringLiteral("Delete shortcut"), QStringLiteral("Cancel"),
            QStringLiteral("Save")}));
}

TEST_F(ShortcutFormTest, EscapeCancelAndBackLeaveWithoutSavingOrAsking)
{
    open();
    type(QStringLiteral("/sig"), QStringLiteral("text"));
    QTest::keyClick(expansionEdit(), Qt::Key_Escape);
    EXPECT_EQ(screens, QStringList{QStringLiteral("main")});

    open();
    type(QStringLiteral("/sig"), QStringLiteral("text"));
    click(form->cancelButton());
    open();
    type(QStringLiteral("/sig"), QStringLiteral("text"));
    click(form->header()->backButton());
    EXPECT_EQ(screens.size(), 3);
    EXPECT_TRUE(state->userData().shortcuts.isEmpty());
    EXPECT_TRUE(toasts.isEmpty());
}

// ---------------------------------------------------------------- the tutorial

TEST_F(ShortcutFormTest, WhileTheTutorialRunsANewShortcutStartsFromTheExample)
{
    seed({}, {shortcut(QStringLiteral("S1"), QStringLiteral("/HELLO"))});
    startTutorialAt(3);
    open();
    EXPECT_EQ(triggerEdit()->text(), QStringLiteral("/hello2"));
    EXPECT_EQ(expansionEdit()->toPlainText(), QStringLiteral("Thanks for reaching out. Happy to help!"));
    EXPECT_TRUE(form->saveButton()->isEnabled());

    openEditing(QStringLiteral("/HELLO"));
    EXPECT_EQ(triggerEdit()->text(), QStringLiteral("/HELLO"));
    EXPECT_EQ(expansionEdit()->toPlainText(), QStringLiteral("text of /HELLO"));
}

TEST_F(ShortcutFormTest, WithoutTheTutorialANewShortcutStartsEmpty)
{
    open();
    EXPECT_TRUE(triggerEdit()->text().isEmpty());
    EXPECT_TRUE(expansionEdit()->toPlainText().isEmpty());
}

TEST_F(ShortcutFormTest, SavingAtTheSaveStepMovesTheTutorialOnBeforeLeaving)
{
    startTutorialAt(5);
    open();
    QObject::connect(
        form.get(), &ShortcutFormView::screenRequested, [] { EXPECT_EQ(TutorialManager::shared().currentStep(), 6); });
    click(form->saveButton());
    EXPECT_EQ(TutorialManager::shared().savedTrigger(), QStringLiteral("/hello"));
    EXPECT_EQ(TutorialManager::shared().currentStep(), 6);
    EXPECT_EQ(screens, QStringList{QStringLiteral("main")});
}

TEST_F(ShortcutFormTest, ReturnDuringTheFieldStepsSavesAndCountsAsTheSaveStep)
{
    for (int step : {3, 4}) {
        startTutorialAt(step);
        open();
        screens.clear();
        QTest::keyClick(triggerEdit(), Qt::Key_Return);
        EXPECT_EQ(TutorialManager::shared().currentStep(), 6) << step;
        EXPECT_EQ(TutorialManager::shared().savedTrigger(), triggerEdit()->text()) << step;
        EXPECT_EQ(screens, QStringList{QStringLiteral("main")}) << step;
    }
}

TEST_F(ShortcutFormTest, TheFieldsAndSaveReportWhereTheyAreOnScreen)
{
    open();
    scheduler.runDue();
    const QHash<QString, QRect>& frames = TutorialManager::shared().targetFrames();
    const auto globalFrame = [](QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); };
    EXPECT_EQ(frames.value(QStringLiteral("triggerField")), globalFrame(form->triggerField()));
    EXPECT_EQ(frames.value(QStringLiteral("expansionField")), globalFrame(form->expansionArea()));
    EXPECT_EQ(frames.value(QStringLiteral("saveButton")), globalFrame(form->saveButton()));

    // The window moving moves every target.
    form->move(form->pos() + QPoint(40, 25));
    QApplication::processEvents();
    scheduler.runDue();
    EXPECT_EQ(
        TutorialManager::shared().targetFrames().value(QStringLiteral("saveButton")), globalFrame(form->saveButton()));
}

// ---------------------------------------------------------------- failed writes

TEST_F(ShortcutFormTest, AFailedWriteOfANewShortcutKeepsTheFormWithAnErrorAndNoClaims)
{
    startTutorialAt(5);
    open();
    failLibraryWrites();
    click(form->saveButton());
    EXPECT_EQ(form->errorMessage(), QStringLiteral("Couldn't save the shortcut."));
    EXPECT_TRUE(form->errorLine()->isVisible());
    EXPECT_TRUE(screens.isEmpty());
    EXPECT_TRUE(toasts.isEmpty());
    EXPECT_TRUE(state->userData().shortcuts.isEmpty());
    EXPECT_EQ(TutorialManager::shared().currentStep(), 5);
    EXPECT_EQ(triggerEdit()->text(), QStringLiteral("/hello"));
}

TEST_F(ShortcutFormTest, AFailedWriteOfAnEditKeepsTheFormWithAnError)
{
    seed({}, {shortcut(QStringLiteral("S1"), QStringLiteral("/sig"))});
    openEditing(QStringLiteral("/sig"));
    QTest::keyClicks(expansionEdit(), QStringLiteral("!"));
    failLibraryWrites();
    click(form->saveButton());
    EXPECT_EQ(form->errorMessage(), QStringLiteral("Couldn't save the shortcut."));
    EXPECT_TRUE(screens.isEmpty());
    EXPECT_TRUE(toasts.isEmpty());
    EXPECT_EQ(stored(QStringLiteral("/sig"))->expansion, QStringLiteral("text of /sig"));
}

TEST_F(ShortcutFormTest, AFailedFolderWriteKeepsTheRowAndItsName)
{
    open();
    NewFolderRow* row = form->newFolderRow();
    click(row->link());
    QTest::keyClicks(row->nameInput()->lineEdit(), QStringLiteral("Work"));
    failLibraryWrites();
    click(row->createButton());
    EXPECT_EQ(form->errorMessage(), QStringLiteral("Couldn't create the folder."));
    EXPECT_TRUE(row->isOpen());
    EXPECT_EQ(row->name(), QStringLiteral("Work"));
    EXPECT_EQ(form->selectedGroupId(), std::nullopt);
    EXPECT_EQ(form->folderMenu()->folderName(), QStringLiteral("None"));
    EXPECT_TRUE(state->userData().groups.isEmpty());
    EXPECT_TRUE(toasts.isEmpty());
    // Correcting the name takes the line away.
    QTest::keyClicks(row->nameInput()->lineEdit(), QStringLiteral("s"));
    EXPECT_EQ(form->errorMessage(), std::nullopt);
}

TEST_F(ShortcutFormTest, AFailedDeleteKeepsTheFormWithAnError)
{
    seed({}, {shortcut(QStringLiteral("S1"), QStringLiteral("/sig"))});
    openEditing(QStringLiteral("/sig"));
    failLibraryWrites();
    click(form->deleteButton());
    EXPECT_EQ(form->errorMessage(), QStringLiteral("Couldn't delete the shortcut."));
    EXPECT_TRUE(screens.isEmpty());
    EXPECT_NE(stored(QStringLiteral("/sig")), nullptr);
}

} // namespace
