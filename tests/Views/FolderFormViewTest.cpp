#include "FolderFormTestSupport.h"
#include "LibraryEditing.h"

#include "Utilities/Notifications.h"
#include "Views/Components/FolderIconView.h"
#include "Views/Components/ScreenHeader.h"
#include "Views/Components/SymbolButton.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/MenuBar/forms/ParentFolderMenu.h"

#include <QLineEdit>
#include <QShortcut>

namespace {

QStringList rowLabels(const ParentFolderMenu* menu)
{
    QStringList labels;
    for (const QAbstractButton* row : menu->rows())
        labels.append(row->text());
    return labels;
}

QStringList checkedRows(const ParentFolderMenu* menu)
{
    QStringList labels;
    for (const QAbstractButton* row : menu->rows()) {
        if (row->isChecked())
            labels.append(row->text());
    }
    return labels;
}

QStringList names(const QList<Group>& groups)
{
    QStringList list;
    for (const Group& g : groups)
        list.append(g.name);
    return list;
}

} // namespace

// Opening

TEST_F(FolderFormTest, ANewFolderStartsInTheOpenFolderAsPrivate)
{
    const QString work = addFolder(QStringLiteral("Work"));
    state.setCurrentGroupId(work);
    open();
    EXPECT_EQ(form->findChild<ScreenHeader*>()->titleLabel()->text(), QStringLiteral("New folder"));
    EXPECT_EQ(form->parentGroupId(), work);
    EXPECT_EQ(named(QStringLiteral("Parent folder"))->accessibleDescription(), QStringLiteral("Work"));
    EXPECT_TRUE(named(QStringLiteral("Private folder"))->isChecked());
    EXPECT_FALSE(named(QStringLiteral("Public folder"))->isChecked());
    EXPECT_FALSE(button(QStringLiteral("Save"))->isEnabled());
    for (QAbstractButton* b : form->findChildren<QAbstractButton*>())
        EXPECT_NE(b->text(), QStringLiteral("Delete folder"));

    click(named(QStringLiteral("Parent folder")));
    ASSERT_TRUE(form->showingParentMenu());
    EXPECT_EQ(checkedRows(form->parentMenu()), QStringList({QStringLiteral("Work")}));
}

TEST_F(FolderFormTest, ANewFolderAtTheTopLevelShowsNoneAsItsParent)
{
    addFolder(QStringLiteral("Work"));
    open();
    EXPECT_EQ(form->parentGroupId(), std::nullopt);
    EXPECT_EQ(form->currentParentName(), QStringLiteral("None"));
    click(named(QStringLiteral("Parent folder")));
    EXPECT_EQ(checkedRows(form->parentMenu()), QStringList({QStringLiteral("None")}));
}

TEST_F(FolderFormTest, AnEditedFolderOpensWithItsOwnValues)
{
    const QString work = addFolder(QStringLiteral("Work"));
    const QString clients = addFolder(
        QStringLiteral("Clients"), work, QStringLiteral("public"), QStringLiteral("star"), QStringLiteral("#14B8A6"));
    open(clients);
    EXPECT_EQ(form->findChild<ScreenHeader*>()->titleLabel()->text(), QStringLiteral("Edit folder"));
    EXPECT_EQ(form->name(), QStringLiteral("Clients"));
    EXPECT_EQ(form->findChild<FolderIconView*>()->icon(), QStringLiteral("star"));
    EXPECT_EQ(form->selectedColor(), QStringLiteral("#14B8A6"));
    EXPECT_EQ(form->hexInput(), QStringLiteral("#14B8A6"));
    EXPECT_TRUE(named(QStringLiteral("Teal folder color"))->isChecked());
    EXPECT_EQ(form->currentParentName(), QStringLiteral("Work"));
    EXPECT_TRUE(named(QStringLiteral("Public folder"))->isChecked());
    EXPECT_TRUE(button(QStringLiteral("Save"))->isEnabled());
    EXPECT_NE(button(QStringLiteral("Delete folder")), nullptr);
}

TEST_F(FolderFormTest, EveryShowingLoadsTheFolderAgainAndANewFormKeepsItsTyping)
{
    const QString work = addFolder(QStringLiteral("Work"));
    open(work);
    form->findChild<QLineEdit*>()->setText(QStringLiteral("Changed"));
    click(named(QStringLiteral("Red folder color")));
    form->hide();
    form->show();
    EXPECT_EQ(form->name(), QStringLiteral("Work"));
    EXPECT_EQ(form->selectedColor(), std::nullopt);

    state.setCurrentGroupId(work);
    open();
    typeName(QStringLiteral("Drafts"));
    click(named(QStringLiteral("Red folder color")));
    click(named(QStringLiteral("Parent folder")));
    click(form->parentMenu()->rows().at(0));
    click(named(QStringLiteral("Public folder")));
    form->hide();
    form->show();
    EXPECT_EQ(form->name(), QStringLiteral("Drafts"));
    EXPECT_EQ(form->selectedColor(), QStringLiteral("#EF4444"));
    EXPECT_EQ(form->parentGroupId(), work);
    EXPECT_EQ(form->visibility(), QStringLiteral("private"));
}

// Creating and editing

TEST_F(FolderFormTest, CreatingAFolderSavesEveryFieldTrimmedAndReturnsToTheList)
{
    const QString work = addFolder(QStringLiteral("Work"));
    open();
    typeName(QStringLiteral("  Ideas\t "));
    form->pickIcon(QStringLiteral("star"));
    click(named(QStringLiteral("Orange folder color")));
    click(named(QStringLiteral("Parent folder")));
    ASSERT_TRUE(form->showingParentMenu());
    click(form->parentMenu()->rows().at(1));
    EXPECT_FALSE(form->showingParentMenu());
    EXPECT_EQ(named(QStringLiteral("Parent folder"))->accessibleDescription(), QStringLiteral("Work"));
    click(named(QStringLiteral("Public folder")));
    click(button(QStringLiteral("Save")));

    const Group* ideas = folderNamed(QStringLiteral("Ideas"));
    ASSERT_NE(ideas, nullptr);
    EXPECT_EQ(ideas->parentGroupId, work);
    EXPECT_EQ(ideas->icon, QStringLiteral("star"));
    EXPECT_EQ(ideas->color, QStringLiteral("#F97316"));
    EXPECT_EQ(ideas->visibility, QStringLiteral("public"));
    EXPECT_EQ(toasts, QStringList({QStringLiteral("Folder created")}));
    EXPECT_EQ(screens, QStringList({QStringLiteral("main")}));
    scheduler.advance(1.79);
    EXPECT_TRUE(ToastManager::shared().isShowing());
    scheduler.advance(0.02);
    EXPECT_FALSE(ToastManager::shared().isShowing());
}

TEST_F(FolderFormTest, ANameOfSpacesOnlyKeepsSaveDisabledAndReturnWritesNothing)
{
    open();
    typeName(QStringLiteral(" \t "));
    EXPECT_FALSE(button(QStringLiteral("Save"))->isEnabled());
    QTest::keyClick(form->findChild<QLineEdit*>(), Qt::Key_Return);
    EXPECT_TRUE(state.userData().groups.isEmpty());
    EXPECT_TRUE(toasts.isEmpty());
    EXPECT_TRUE(screens.isEmpty());
    EXPECT_FALSE(state.canUndo());
}

TEST_F(FolderFormTest, ReturnSavesFromTheNameField)
{
    open();
    typeName(QStringLiteral("Work"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_NE(folderNamed(QStringLiteral("Work")), nullptr);
    EXPECT_EQ(screens, QStringList({QStringLiteral("main")}));
}

TEST_F(FolderFormTest, EscapeCancelsWithoutWriting)
{
    const QString work = addFolder(QStringLiteral("Work"));
    open(work);
    typeName(QStringLiteral(" and play"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(folder(work)->name, QStringLiteral("Work"));
    EXPECT_EQ(screens, QStringList({QStringLiteral("main")}));
    EXPECT_TRUE(toasts.isEmpty());
}

TEST_F(FolderFormTest, ReturnAndEscapeReachTheFormBeforeWindowWideShortcuts)
{
    open();
    int taken = 0;
    for (const auto key : {Qt::Key_Escape, Qt::Key_Return}) {
        auto* shortcut = new QShortcut(QKeySequence(key), form.get());
        QObject::connect(shortcut, &QShortcut::activated, &recorder, [&] { ++taken; });
    }
    typeName(QStringLiteral("Work"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_NE(folderNamed(QStringLiteral("Work")), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(screens, QStringList({QStringLiteral("main"), QStringLiteral("main")}));
    EXPECT_EQ(taken, 0);
}

TEST_F(FolderFormTest, CancelAndTheBackButtonLeaveWithoutWriting)
{
    const QString work = addFolder(QStringLiteral("Work"));
    const int before = state.userData().groups.size();
    open(work);
    typeName(QStringLiteral("X"));
    click(button(QStringLiteral("Cancel")));
    open();
    typeName(QStringLiteral("Y"));
    click(form->findChild<ScreenHeader*>()->backButton());
    EXPECT_EQ(screens, QStringList({QStringLiteral("main"), QStringLiteral("main")}));
    EXPECT_EQ(state.userData().groups.size(), before);
    EXPECT_EQ(folder(work)->name, QStringLiteral("Work"));
}

TEST_F(FolderFormTest, EditingSavesNameColourParentAndVisibilityAndKeepsTheOrder)
{
    const QString work = addFolder(QStringLiteral("Work"));
    addFolder(QStringLiteral("Home"), work);
    const QString clients = addFolder(
        QStringLiteral("Clients"), work, QStringLiteral("public"), QStringLiteral("star"), QStringLiteral("#14B8A6"));
    const int order = folder(clients)->order;
    ASSERT_EQ(order, 1);
    open(clients);
    form->findChild<QLineEdit*>()->setText(QStringLiteral(" Customers "));
    click(named(QStringLiteral("No folder color")));
    EXPECT_EQ(form->hexInput(), QString());
    click(named(QStringLiteral("Parent folder")));
    EXPECT_EQ(rowLabels(form->parentMenu()).first(), QStringLiteral("None"));
    click(form->parentMenu()->rows().first());
    click(named(QStringLiteral("Private folder")));
    click(button(QStringLiteral("Save")));

    const Group* saved = folder(clients);
    EXPECT_EQ(saved->name, QStringLiteral("Customers"));
    EXPECT_EQ(saved->icon, QStringLiteral("star"));
    EXPECT_EQ(saved->color, std::nullopt);
    EXPECT_EQ(saved->parentGroupId, std::nullopt);
    EXPECT_EQ(saved->visibility, QStringLiteral("private"));
    EXPECT_EQ(saved->order, order);
    EXPECT_EQ(toasts, QStringList({QStringLiteral("Folder updated")}));
    EXPECT_EQ(screens, QStringList({QStringLiteral("main")}));
}

TEST_F(FolderFormTest, OneSaveOfAnEditedFolderIsTwoUndoSteps)
{
    const QString work = addFolder(QStringLiteral("Work"));
    const QString clients = addFolder(QStringLiteral("Clients"), std::nullopt, QStringLiteral("private"),
        QStringLiteral("star"), QStringLiteral("#14B8A6"));
    open(clients);
    form->findChild<QLineEdit*>()->setText(QStringLiteral("Customers"));
    form->pickIcon(QStringLiteral("heart"));
    click(named(QStringLiteral("Red folder color")));
    click(named(QStringLiteral("Parent folder")));
    click(form->parentMenu()->rows().at(1));
    click(named(QStringLiteral("Public folder")));
    click(button(QStringLiteral("Save")));

    ASSERT_TRUE(state.undo());
    EXPECT_EQ(folder(clients)->name, QStringLiteral("Customers"));
    EXPECT_EQ(folder(clients)->icon, QStringLiteral("heart"));
    EXPECT_EQ(folder(clients)->color, QStringLiteral("#EF4444"));
    EXPECT_EQ(folder(clients)->parentGroupId, std::nullopt);
    EXPECT_EQ(folder(clients)->visibility, QStringLiteral("private"));
    ASSERT_TRUE(state.undo());
    EXPECT_EQ(folder(clients)->name, QStringLiteral("Clients"));
    EXPECT_EQ(folder(clients)->icon, QStringLiteral("star"));
    EXPECT_EQ(folder(clients)->color, QStringLiteral("#14B8A6"));
    EXPECT_NE(folder(work), nullptr);
}

// Parents

TEST_F(FolderFormTest, AnEditedFolderCannotMoveUnderItselfOrAnythingBelowIt)
{
    const QString a = addFolder(QStringLiteral("A"));
    const QString b = addFolder(QStringLiteral("B"), a);
    const QString c = addFolder(QStringLiteral("C"), b);
    addFolder(QStringLiteral("D"), c);
    addFolder(QStringLiteral("E"), a);
    addFolder(QStringLiteral("F"));
    open(b);
    EXPECT_EQ(names(form->availableParents()), QStringList({"A", "E", "F"}));
    click(named(QStringLiteral("Parent folder")));
    EXPECT_EQ(rowLabels(form->parentMenu()), QStringList({"None", "A", "E", "F"}));
    EXPECT_EQ(checkedRows(form->parentMenu()), QStringList({"A"}));

    open();
    EXPECT_EQ(names(form->availableParents()), QStringList({"A", "B", "C", "D", "E", "F"}));
}

TEST_F(FolderFormTest, TwoFoldersOfTheSameNameAreTwoRowsAndTheCheckMarkFollowsTheId)
{
    addFolder(QStringLiteral("Notes"));
    const QString second = addFolder(QStringLiteral("Notes"));
    state.setCurrentGroupId(second);
    open();
    click(named(QStringLiteral("Parent folder")));
    const ParentFolderMenu* menu = form->parentMenu();
    ASSERT_EQ(rowLabels(menu), QStringList({"None", "Notes", "Notes"}));
    EXPECT_FALSE(menu->rows().at(1)->isChecked());
    EXPECT_TRUE(menu->rows().at(2)->isChecked());
}

TEST_F(FolderFormTest, TheParentListAnswersTheArrowKeysReturnAndEscape)
{
    const QString work = addFolder(QStringLiteral("Work"));
    addFolder(QStringLiteral("Home"));
    open();
    click(named(QStringLiteral("Parent folder")));
    ParentFolderMenu* menu = form->parentMenu();
    ASSERT_TRUE(menu->rows().first()->hasFocus());
    QTest::keyClick(menu->rows().first(), Qt::Key_Down);
    ASSERT_TRUE(menu->rows().at(1)->hasFocus());
    QTest::keyClick(menu->rows().at(1), Qt::Key_Return);
    EXPECT_EQ(form->parentGroupId(), work);
    EXPECT_FALSE(form->showingParentMenu());

    click(named(QStringLiteral("Parent folder")));
    QTest::keyClick(form->parentMenu()->rows().at(1), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_FALSE(form->showingParentMenu());
    EXPECT_TRUE(screens.isEmpty());
    EXPECT_EQ(form->parentGroupId(), work);
}

TEST_F(FolderFormTest, PressingTheParentFieldAgainKeepsTheListOpen)
{
    addFolder(QStringLiteral("Work"));
    open();
    click(named(QStringLiteral("Parent folder")));
    const ParentFolderMenu* first = form->parentMenu();
    named(QStringLiteral("Parent folder"))->click();
    EXPECT_EQ(form->parentMenu(), first);
}

// Visibility

TEST_F(FolderFormTest, UnlistedShowsAndSavesAsPublic)
{
    const QString id = addFolder(QStringLiteral("Shared"), std::nullopt, QStringLiteral("unlisted"));
    open(id);
    EXPECT_TRUE(named(QStringLiteral("Public folder"))->isChecked());
    EXPECT_FALSE(named(QStringLiteral("Private folder"))->isChecked());
    click(button(QStringLiteral("Save")));
    EXPECT_EQ(folder(id)->visibility, QStringLiteral("public"));
}

TEST_F(FolderFormTest, NoVisibilityShowsAndSavesAsPrivate)
{
    const QString id = addFolder(QStringLiteral("Old"), std::nullopt, std::nullopt);
    ASSERT_EQ(folder(id)->visibility, std::nullopt);
    open(id);
    EXPECT_TRUE(named(QStringLiteral("Private folder"))->isChecked());
    click(button(QStringLiteral("Save")));
    EXPECT_EQ(folder(id)->visibility, QStringLiteral("private"));
}

TEST_F(FolderFormTest, AnyOtherVisibilitySelectsNeitherPillAndIsSavedUnchanged)
{
    const QString id = addFolder(QStringLiteral("Team"), std::nullopt, QStringLiteral("team"));
    open(id);
    EXPECT_FALSE(named(QStringLiteral("Private folder"))->isChecked());
    EXPECT_FALSE(named(QStringLiteral("Public folder"))->isChecked());
    click(button(QStringLiteral("Save")));
    EXPECT_EQ(folder(id)->visibility, QStringLiteral("team"));
}

TEST_F(FolderFormTest, PressingTheChosenPillKeepsItChosen)
{
    open();
    QAbstractButton* privatePill = named(QStringLiteral("Private folder"));
    click(privatePill);
    EXPECT_TRUE(privatePill->isChecked());
    EXPECT_EQ(form->visibility(), QStringLiteral("private"));
}

// Icons

TEST_F(FolderFormTest, WithoutAChooserTheIconRowOffersNothing)
{
    open();
    QAbstractButton* row = named(QStringLiteral("Choose folder icon"));
    EXPECT_FALSE(row->isEnabled());
    int opened = 0;
    const auto connection = QObject::connect(
        form.get(), &FolderFormView::openIconChooser, &recorder, [&](const std::optional<QString>&) { ++opened; });
    QApplication::processEvents();
    EXPECT_TRUE(row->isEnabled());
    click(row);
    EXPECT_EQ(opened, 1);
    QObject::disconnect(connection);
    QApplication::processEvents();
    EXPECT_FALSE(row->isEnabled());
}

TEST_F(FolderFormTest, TheChooserOpensWithTheCurrentIconCoversTheFormAndEscapeClosesOnlyIt)
{
    const QString id
        = addFolder(QStringLiteral("Work"), std::nullopt, QStringLiteral("private"), QStringLiteral("star"));
    open(id);
    std::optional<QString> asked;
    QObject::connect(form.get(), &FolderFormView::openIconChooser, &recorder, [&](const std::optional<QString>& key) {
        asked = key;
        form->presentIconChooser(new QWidget);
    });
    QApplication::processEvents();
    click(named(QStringLiteral("Choose folder icon")));
    EXPECT_EQ(asked, QStringLiteral("star"));
    ASSERT_TRUE(form->showingIconChooser());
    const QWidget* chooser = form->childAt(form->rect().center());
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->geometry(), form->rect());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(form->showingIconChooser());
    EXPECT_TRUE(screens.isEmpty());

    click(named(QStringLiteral("Choose folder icon")));
    form->pickIcon(QStringLiteral("\U0001F680"));
    form->closeIconChooser();
    EXPECT_EQ(form->findChild<FolderIconView*>()->icon(), QStringLiteral("\U0001F680"));
    click(button(QStringLiteral("Save")));
    EXPECT_EQ(folder(id)->icon, QStringLiteral("\U0001F680"));
}

TEST_F(FolderFormTest, ClosingThePopoverClosesTheParentListAndTheIconChooser)
{
    addFolder(QStringLiteral("Work"));
    open();
    form->presentIconChooser(new QWidget);
    click(named(QStringLiteral("Parent folder")));
    ASSERT_TRUE(form->showingParentMenu());
    ASSERT_TRUE(form->showingIconChooser());
    NotificationCenter::instance().post(Notifications::velmoraDismissOverlays);
    QApplication::processEvents();
    EXPECT_FALSE(form->showingParentMenu());
    EXPECT_FALSE(form->showingIconChooser());
    EXPECT_TRUE(screens.isEmpty());
}

// Deleting

TEST_F(FolderFormTest, DeleteLeavesAtOnceAndWaitsForTheAnswerWhenConfirmationIsOn)
{
    state.updateSettings([](AppSettings& s) { s.confirmDelete = true; });
    const QString id = addFolder(QStringLiteral("Work"));
    open(id);
    click(button(QStringLiteral("Delete folder")));
    EXPECT_EQ(screens, QStringList({QStringLiteral("main")}));
    ASSERT_TRUE(state.pendingConfirmation().has_value());
    EXPECT_EQ(state.pendingConfirmation()->title, QStringLiteral("Delete folder?"));
    EXPECT_NE(folder(id), nullptr);
    state.confirmRequest();
    EXPECT_EQ(folder(id), nullptr);
}

TEST_F(FolderFormTest, DeleteWithoutConfirmationRemovesTheFolderAndWhatIsBelowIt)
{
    const QString id = addFolder(QStringLiteral("Work"));
    addFolder(QStringLiteral("Inner"), id);
    open(id);
    click(button(QStringLiteral("Delete folder")));
    EXPECT_TRUE(state.userData().groups.isEmpty());
    EXPECT_EQ(screens, QStringList({QStringLiteral("main")}));
}

// Faults the form guards against

TEST_F(FolderFormTest, ANewFolderWhoseParentWasDeletedMeanwhileGoesToTheTopLevel)
{
    const QString work = addFolder(QStringLiteral("Work"));
    state.setCurrentGroupId(work);
    open();
    typeName(QStringLiteral("Drafts"));
    state.deleteGroup(work);
    EXPECT_EQ(named(QStringLiteral("Parent folder"))->accessibleDescription(), QStringLiteral("None"));
    click(button(QStringLiteral("Save")));
    const Group* drafts = folderNamed(QStringLiteral("Drafts"));
    ASSERT_NE(drafts, nullptr);
    EXPECT_EQ(drafts->parentGroupId, std::nullopt);
    EXPECT_EQ(toasts, QStringList({QStringLiteral("Folder created")}));
    EXPECT_TRUE(store.isReady());
}

TEST_F(FolderFormTest, AnEditedFolderWhoseParentWasDeletedMeanwhileMovesToTheTopLevel)
{
    const QString work = addFolder(QStringLiteral("Work"));
    const QString home = addFolder(QStringLiteral("Home"));
    const QString id = addFolder(QStringLiteral("Clients"), work);
    open(id);
    click(named(QStringLiteral("Parent folder")));
    click(form->parentMenu()->rows().at(2));
    ASSERT_EQ(form->parentGroupId(), home);
    editLibrary(state, [&](UserData& d) { d.groups.removeIf([&](const Group& g) { return g.id == home; }); });
    click(button(QStringLiteral("Save")));
    EXPECT_EQ(folder(id)->parentGroupId, std::nullopt);
    EXPECT_EQ(toasts, QStringList({QStringLiteral("Folder updated")}));
}

TEST_F(FolderFormTest, ChoosingNoIconClearsTheStoredIconWhileAnUntouchedIconStays)
{
    const QString gone
        = addFolder(QStringLiteral("Gone"), std::nullopt, QStringLiteral("private"), QStringLiteral("custom:ABC"));
    const QString kept
        = addFolder(QStringLiteral("Kept"), std::nullopt, QStringLiteral("private"), QStringLiteral("star"));
    open(gone);
    form->pickIcon(std::nullopt);
    click(button(QStringLiteral("Save")));
    EXPECT_EQ(folder(gone)->icon, std::nullopt);

    open(kept);
    click(button(QStringLiteral("Save")));
    EXPECT_EQ(folder(kept)->icon, QStringLiteral("star"));
}

TEST_F(FolderFormTest, SavingAFolderDeletedMeanwhileSaysSoInsteadOfUpdated)
{
    const QString id = addFolder(QStringLiteral("Work"));
    open(id);
    state.deleteGroup(id);
    const QByteArray library = dir.read(QStringLiteral("data.json"));
    click(button(QStringLiteral("Save")));
    EXPECT_EQ(toasts, QStringList({QStringLiteral("This folder no longer exists.")}));
    EXPECT_EQ(folder(id), nullptr);
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), library);
    EXPECT_EQ(screens, QStringList({QStringLiteral("main")}));
}

TEST_F(FolderFormTest, SavingTakesAValidHexColourTypedWithoutReturnAndIgnoresAnInvalidOne)
{
    const struct {
        QString typed;
        QString saved;
    } cases[] = {
        {QStringLiteral("22c55e"), QStringLiteral("#22C55E")}, {QStringLiteral("#12345"), QStringLiteral("#EF4444")}};
    for (const auto& c : cases) {
        const QString id
            = addFolder(c.typed, std::nullopt, QStringLiteral("private"), std::nullopt, QStringLiteral("#EF4444"));
        open(id);
        typeHex(c.typed);
        click(button(QStringLiteral("Save")));
        EXPECT_EQ(folder(id)->color, c.saved) << qPrintable(c.typed);
    }
}

TEST_F(FolderFormTest, ReturnInTheHexFieldCommitsTheColourWithoutSaving)
{
    open();
    typeName(QStringLiteral("Work"));
    QLineEdit* hex = typeHex(QStringLiteral("3b82f6"));
    QTest::keyClick(hex, Qt::Key_Return);
    EXPECT_EQ(form->selectedColor(), QStringLiteral("#3B82F6"));
    EXPECT_TRUE(named(QStringLiteral("Blue folder color"))->isChecked());
    EXPECT_TRUE(state.userData().groups.isEmpty());
    EXPECT_TRUE(screens.isEmpty());
    QTest::keyClick(hex, Qt::Key_Escape);
    EXPECT_EQ(screens, QStringList({QStringLiteral("main")}));
    EXPECT_TRUE(state.userData().groups.isEmpty());
}

TEST_F(FolderFormTest, AFailedWriteIsReportedAndTheFormStaysOpen)
{
    open();
    typeName(QStringLiteral("Work"));
    failWrites = true;
    click(button(QStringLiteral("Save")));
    EXPECT_EQ(toasts, QStringList({QStringLiteral("Couldn't save the folder.")}));
    EXPECT_TRUE(screens.isEmpty());
    EXPECT_TRUE(state.userData().groups.isEmpty());
    EXPECT_EQ(form->name(), QStringLiteral("Work"));
}
