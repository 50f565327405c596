#include "TempDir.h"

#include "Views/Components/DialogFilePanels.h"

#include <QFileDialog>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

class DialogFilePanelsTest : public ::testing::Test {
protected:
    TempDir dir;
    QWidget owner;
    DialogFilePanels panels{&owner};
    QStringList chosen;

    QFileDialog* dialog() const { return owner.findChild<QFileDialog*>(); }
};

TEST_F(DialogFilePanelsTest, TheSavePanelProposesTheNameAndHandsBackTheChosenPath)
{
    panels.chooseSaveLocation(
        QStringLiteral("velmora-backup-2026-12-06.json"), [this](const QString& path) { chosen << path; });
    QFileDialog* save = dialog();
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_TRUE(save->isVisible());
    ASSERT_EQ(save->selectedFiles().size(), 1);
    EXPECT_TRUE(save->selectedFiles().first().endsWith(QStringLiteral("/velmora-backup-2026-12-06.json")));

    save->selectFile(dir.file(QStringLiteral("backup.json")));
    QMetaObject::invokeMethod(save, "accept");
    EXPECT_EQ(chosen, QStringList{dir.file(QStringLiteral("backup.json"))});
}

TEST_F(DialogFilePanelsTest, ACancelledOpenPanelAnswersNothing)
{
    panels.chooseFileToOpen([this](const QString& path) { chosen << path; });
    QFileDialog* open = dialog();
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->fileMode(), QFileDialog::ExistingFile);
    open->reject();
    EXPECT_TRUE(chosen.isEmpty());
}

} // namespace
