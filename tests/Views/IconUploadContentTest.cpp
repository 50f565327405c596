#include "ChooserFixture.h"

#include "Models/FolderIconCatalog.h"
#include "Views/Components/FolderIconView.h"
#include "Views/MenuBar/chooser/IconUploadContent.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QUrl>

namespace {

using Tab = IconChooserSheet::Tab;

QByteArray squareSvg(int inset = 2)
{
    return QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 24 24\" onload=\"x()\">"
                          "<path d=\"M%1 %1H%2V%2H%1z\"/></svg>")
        .arg(inset)
        .arg(24 - inset)
        .toUtf8();
}

class IconUploadContentTest : public ChooserTest {
protected:
    IconUploadContent* upload() { return chooser->uploadContent(); }

    IconUploadContent* openOnUpload(const std::optional<QString>& initial = std::nullopt)
    {
        open(initial);
        QTest::mouseClick(chooser->tabButton(Tab::upload), Qt::LeftButton);
        return upload();
    }

    QString file(const QString& name, const QByteArray& bytes)
    {
        dir.write(name, bytes);
        return dir.file(name);
    }

    // Drops `urls` on the drop zone as a file manager would.
    void drop(const QList<QUrl>& urls)
    {
        QMimeData data;
        data.setUrls(urls);
        QWidget* zone = upload()->dropZone();
        const QPoint at = zone->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(zone, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(zone, &dropped);
        EXPECT_TRUE(dropped.isAccepted());
    }

    void dropFiles(const QStringList& paths)
    {
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.append(QUrl::fromLocalFile(path));
        drop(urls);
    }

    // Waits until the tab has stored and reported the uploads it was given.
    bool uploadsFinish()
    {
        QSignalSpy finished(upload(), &IconUploadContent::uploadsFinished);
        return finished.wait(5000);
    }

    QStringList iconNames() const
    {
        QStringList names;
        for (const CustomIcon& icon : state->userData().customIcons)
            names.append(icon.name);
        return names;
    }

    QString keyOf(int icon) const { return state->userData().customIcons.at(icon).iconKey(); }

    QString addUpload(const QString& name)
    {
        const std::optional<QString> id = state->addCustomIcon(name, QString::fromUtf8(squareSvg()));
        EXPECT_TRUE(id.has_value());
        return id.value_or(QString());
    }

    // Opens the context menu of an upload's tile, as a right click does.
    QMenu* contextMenu(int tile)
    {
        IconTileGrid* grid = upload()->grid();
        const QPoint at = grid->tileRect(tile).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, grid->mapToGlobal(at));
        QApplication::sendEvent(grid, &click);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            menu = upload()->findChild<QMenu*>();
        return menu;
    }
};

} // namespace

TEST_F(IconUploadContentTest, WithoutUploadsOnlyTheDropZoneAndThePasteButtonShow)
{
    openOnUpload();
    EXPECT_TRUE(upload()->dropZone()->isVisible());
    EXPECT_EQ(upload()->dropZone()->text(), QStringLiteral("Drop SVG here or browse"));
    EXPECT_EQ(upload()->pasteButton()->text(), QStringLiteral("Paste SVG from clipboard"));
    EXPECT_FALSE(upload()->errorLine()->isVisible());
    EXPECT_FALSE(upload()->grid()->isVisible());
}

TEST_F(IconUploadContentTest, ADroppedFileIsAddedUnderItsNameCleanedPickedAndTheChooserCloses)
{
    openOnUpload();
    dropFiles({file(QStringLiteral("My Icon.final.svg"), squareSvg())});
    ASSERT_TRUE(uploadsFinish());
    ASSERT_EQ(iconNames(), QStringList{QStringLiteral("My Icon.final")});
    EXPECT_FALSE(state->userData().customIcons.first().svg.contains(QStringLiteral("onload")));
    EXPECT_EQ(picks, QStringList{keyOf(0)});
    EXPECT_TRUE(closed());
}

TEST_F(IconUploadContentTest, AnUppercaseExtensionIsAnSvgTooAndOtherFilesAreIgnoredQuietly)
{
    openOnUpload();
    dropFiles({file(QStringLiteral("notes.txt"), squareSvg()), file(QStringLiteral("icon.svgz"), squareSvg())});
    drop({});
    drop({QUrl(QStringLiteral("https://example.com/icon.svg"))});
    QApplication::processEvents();
    EXPECT_TRUE(state->userData().customIcons.isEmpty());
    EXPECT_FALSE(upload()->error().has_value());
    dropFiles({file(QStringLiteral("Logo.SVG"), squareSvg())});
    ASSERT_TRUE(uploadsFinish());
    EXPECT_EQ(iconNames(), QStringList{QStringLiteral("Logo")});
}

TEST_F(IconUploadContentTest, DroppingSeveralFilesAddsThemAllAndPicksTheLast)
{
    openOnUpload();
    dropFiles({file(QStringLiteral("one.svg"), squareSvg(1)), file(QStringLiteral("two.svg"), squareSvg(2)),
        file(QStringLiteral("three.svg"), squareSvg(3))});
    ASSERT_TRUE(uploadsFinish());
    EXPECT_EQ(iconNames(), (QStringList{"one", "two", "three"}));
    EXPECT_EQ(picks, QStringList{keyOf(2)});
    EXPECT_TRUE(closed());
}

TEST_F(IconUploadContentTest, ARefusedFileInADropKeepsTheChooserOpenAndNamesIt)
{
    openOnUpload();
    dropFiles(
        {file(QStringLiteral("good.svg"), squareSvg()), file(QStringLiteral("broken.svg"), squareSvg().chopped(6)),
            file(QStringLiteral("text.svg"), "hello"), file(QStringLiteral("fine.svg"), squareSvg(4))});
    ASSERT_TRUE(uploadsFinish());
    EXPECT_EQ(iconNames(), (QStringList{"good", "fine"}));
    EXPECT_TRUE(picks.isEmpty());
    EXPECT_FALSE(closed());
    EXPECT_EQ(upload()->error(), QStringLiteral("broken: That SVG isn't well-formed XML. 1 more file wasn't added."));
    EXPECT_TRUE(upload()->errorLine()->isVisible());
    EXPECT_EQ(upload()->grid()->count(), 2) << "the icons that went in show";
}

TEST_F(IconUploadContentTest, IconsDroppedBeforeTheEditorCloseAreStillAddedButNothingIsPicked)
{
    openOnUpload();
    dropFiles({file(QStringLiteral("one.svg"), squareSvg(1)), file(QStringLiteral("two.svg"), squareSvg(2))});
    editor.reset();
    EXPECT_TRUE(chooser.isNull());
    QTRY_COMPARE_WITH_TIMEOUT(state->userData().customIcons.size(), 2, 5000);
    EXPECT_TRUE(picks.isEmpty());
}

TEST_F(IconUploadContentTest, IconsDroppedBeforeEscapeAreStillAddedButNothingIsPicked)
{
    openOnUpload();
    dropFiles({file(QStringLiteral("one.svg"), squareSvg(1))});
    chooser->dismiss();
    QTRY_COMPARE_WITH_TIMEOUT(state->userData().customIcons.size(), 1, 5000);
    EXPECT_TRUE(picks.isEmpty());
    EXPECT_TRUE(closed());
}

TEST_F(IconUploadContentTest, EachRefusalShowsItsErrorLineAndTheChooserStaysOpen)
{
    openOnUpload();
    const std::pair<QString, QString> cases[] = {
        {file(QStringLiteral("cut.svg"), squareSvg().chopped(6)), QStringLiteral("That SVG isn't well-formed XML.")},
        {file(QStringLiteral("words.svg"), "no drawing here"), QStringLiteral("That file isn't a valid SVG.")},
        {dir.file(QStringLiteral("missing.svg")), QStringLiteral("Couldn't read that file: No such file or directory")},
        {file(QStringLiteral("dtd.svg"), "<!DOCTYPE svg>" + squareSvg()),
            QStringLiteral("SVGs with a DOCTYPE or entity declarations aren't accepted.")},
        {file(QStringLiteral("big.svg"), squareSvg().insert(5, QByteArray(600 * 1024, ' '))),
            QStringLiteral("That file is larger than 512 KB.")},
    };
    for (const auto& [path, error] : cases) {
        upload()->uploadFiles({path});
        ASSERT_TRUE(uploadsFinish());
        EXPECT_EQ(upload()->error(), error);
        EXPECT_EQ(upload()->errorLine()->text(), error);
    }
    EXPECT_TRUE(state->userData().customIcons.isEmpty());
    EXPECT_TRUE(picks.isEmpty());
    EXPECT_FALSE(closed());
}

TEST_F(IconUploadContentTest, TheErrorLineStaysAcrossTabsAndASuccessClearsIt)
{
    openOnUpload();
    upload()->uploadFiles({file(QStringLiteral("words.svg"), "no drawing here")});
    ASSERT_TRUE(uploadsFinish());
    QTest::mouseClick(chooser->tabButton(Tab::emoji), Qt::LeftButton);
    QTest::mouseClick(chooser->tabButton(Tab::upload), Qt::LeftButton);
    EXPECT_TRUE(upload()->errorLine()->isVisible());
    QSignalSpy cleared(upload(), &IconUploadContent::picked);
    upload()->uploadFiles({file(QStringLiteral("good.svg"), squareSvg())});
    ASSERT_TRUE(cleared.wait(5000));
    EXPECT_FALSE(upload()->error().has_value());
}

TEST_F(IconUploadContentTest, AnIconThatCannotBeStoredShowsAnErrorAndPicksNothing)
{
    openOnUpload();
    failWrites = true;
    upload()->uploadFiles({file(QStringLiteral("good.svg"), squareSvg())});
    ASSERT_TRUE(uploadsFinish());
    EXPECT_EQ(upload()->error(), IconUploadContent::storeFailedText);
    EXPECT_TRUE(picks.isEmpty());
    EXPECT_FALSE(closed());
    EXPECT_TRUE(state->userData().customIcons.isEmpty());
}

TEST_F(IconUploadContentTest, PastingAnSvgAddsAPastedIconAndPicksIt)
{
    openOnUpload();
    QGuiApplication::clipboard()->setText(QString::fromUtf8(squareSvg()));
    QTest::mouseClick(upload()->pasteButton(), Qt::LeftButton);
    ASSERT_TRUE(uploadsFinish());
    EXPECT_EQ(iconNames(), QStringList{QStringLiteral("Pasted icon")});
    EXPECT_EQ(picks, QStringList{keyOf(0)});

    openOnUpload();
    upload()->pasteFromClipboard();
    ASSERT_TRUE(uploadsFinish());
    EXPECT_EQ(iconNames(), (QStringList{"Pasted icon", "Pasted icon"}));
    EXPECT_NE(keyOf(0), keyOf(1));
}

TEST_F(IconUploadContentTest, TheClipboardsSvgDocumentComesBeforeItsText)
{
    openOnUpload();
    auto* data = new QMimeData;
    data->setText(QStringLiteral("a drawing"));
    data->setData(QStringLiteral("image/svg+xml"), squareSvg());
    QGuiApplication::clipboard()->setMimeData(data);
    upload()->pasteFromClipboard();
    ASSERT_TRUE(uploadsFinish());
    EXPECT_EQ(iconNames(), QStringList{QStringLiteral("Pasted icon")});
}

TEST_F(IconUploadContentTest, AClipboardWithoutAnSvgSaysSo)
{
    openOnUpload();
    QGuiApplication::clipboard()->clear();
    upload()->pasteFromClipboard();
    ASSERT_TRUE(uploadsFinish());
    EXPECT_EQ(upload()->error(), QStringLiteral("Clipboard doesn't contain an SVG."));
    QGuiApplication::clipboard()->setText(QStringLiteral("https://example.com/logo.svg"));
    upload()->pasteFromClipboard();
    ASSERT_TRUE(uploadsFinish());
    EXPECT_EQ(upload()->error(), QStringLiteral("Clipboard doesn't contain an SVG."));
    EXPECT_FALSE(closed());
}

TEST_F(IconUploadContentTest, TheDropZoneOpensAFileChooserForOneSvg)
{
    openOnUpload();
    const QString path = file(QStringLiteral("Chosen.svg"), squareSvg());
    QTest::mouseClick(upload()->dropZone(), Qt::LeftButton);
    auto* dialog = upload()->findChild<QFileDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    dialog->setDirectory(dir.path());
    dialog->selectFile(path);
    static_cast<QDialog*>(dialog)->accept();
    ASSERT_TRUE(uploadsFinish());
    EXPECT_EQ(iconNames(), QStringList{QStringLiteral("Chosen")});
    EXPECT_EQ(picks, QStringList{keyOf(0)});
}

TEST_F(IconUploadContentTest, UploadsShowInTheGridWithTheFolderIconMarkedAndAClickPicksOne)
{
    addUpload(QStringLiteral("First"));
    const QString second = addUpload(QStringLiteral("Second"));
    openOnUpload(FolderIconCatalog::customPrefix + second);
    IconTileGrid* grid = upload()->grid();
    EXPECT_TRUE(grid->isVisible());
    EXPECT_EQ(grid->keys(), (QStringList{keyOf(0), keyOf(1)}));
    EXPECT_EQ(grid->tile(1).toolTip, QStringLiteral("Second"));
    EXPECT_TRUE(sameColour(tileFill(grid, 1), over(Theme::surfaceGlassSelected(), Theme::bgCard())));
    EXPECT_TRUE(sameColour(tileFill(grid, 0), over(Theme::surfaceGlass(), Theme::bgCard())));
    addUpload(QStringLiteral("Third"));
    EXPECT_EQ(grid->count(), 3) << "the grid follows the library";
    clickTile(grid, 0);
    EXPECT_EQ(picks, QStringList{keyOf(0)});
    EXPECT_TRUE(closed());
}

TEST_F(IconUploadContentTest, DeletingTheFolderIconClearsItAndTheChooserStaysOpen)
{
    const QString id = addUpload(QStringLiteral("Team logo"));
    const QString key = FolderIconCatalog::customPrefix + id;
    ASSERT_TRUE(state->addGroup(QStringLiteral("Work"), std::nullopt, key, std::nullopt, QStringLiteral("private")));
    openOnUpload(key);
    QMenu* menu = contextMenu(0);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().first()->text(), QStringLiteral("Delete Team logo"));
    menu->actions().first()->trigger();
    menu->close();
    EXPECT_TRUE(state->userData().customIcons.isEmpty());
    EXPECT_EQ(clears, 1);
    EXPECT_TRUE(picks.isEmpty());
    EXPECT_FALSE(closed());
    EXPECT_FALSE(upload()->grid()->isVisible());
    // The folder keeps its key and shows the folder icon now.
    const Group& folder = state->userData().groups.first();
    EXPECT_EQ(folder.icon, key);
    FolderIconView gone(folder.icon, 24, state->userData().customIcons);
    FolderIconView plain(QStringLiteral("folder"), 24, {});
    EXPECT_EQ(gone.grab().toImage(), plain.grab().toImage());
}

TEST_F(IconUploadContentTest, DeletingAnotherUploadLeavesTheFolderIconAlone)
{
    const QString kept = addUpload(QStringLiteral("Kept"));
    addUpload(QStringLiteral("Tom & Jerry"));
    openOnUpload(FolderIconCatalog::customPrefix + kept);
    QMenu* menu = contextMenu(1);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->actions().first()->text(), QStringLiteral("Delete Tom && Jerry"))
        << "an ampersand is no accelerator";
    menu->actions().first()->trigger();
    menu->close();
    EXPECT_EQ(iconNames(), QStringList{QStringLiteral("Kept")});
    EXPECT_EQ(clears, 0);
    EXPECT_FALSE(closed());
}

TEST_F(IconUploadContentTest, AFailedDeletionSaysSoAndClearsNothing)
{
    const QString id = addUpload(QStringLiteral("Logo"));
    openOnUpload(FolderIconCatalog::customPrefix + id);
    failWrites = true;
    upload()->deleteIcon(id);
    EXPECT_EQ(upload()->error(), IconUploadContent::removeFailedText);
    EXPECT_EQ(clears, 0);
    EXPECT_EQ(iconNames(), QStringList{QStringLiteral("Logo")});
}
