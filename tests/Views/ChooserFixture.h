#pragma once

#include "App/State/AppState.h"
#include "FailingStore.h"
#include "Painting.h"
#include "TempDir.h"
#include "Utilities/EmojiRecents.h"
#include "Views/MenuBar/chooser/IconChooserSheet.h"
#include "Views/MenuBar/chooser/IconTileGrid.h"

#include <QApplication>
#include <QPointer>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// An editor window holding the icon chooser, over a library in a temporary folder whose
// writes can be made to fail. Records what the chooser reports.
class ChooserTest : public ::testing::Test {
protected:
    TempDir dir;
    bool failWrites = false;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<AppState> state;
    std::unique_ptr<QWidget> editor;
    QPointer<IconChooserSheet> chooser;
    QStringList picks;
    int clears = 0;
    int dismissals = 0;

    void SetUp() override
    {
        QSettings().remove(EmojiRecents::settingsKey());
        store = storeWithFailingWrites(dir.path(), &failWrites);
        state = std::make_unique<AppState>(*store);
        editor = std::make_unique<QWidget>();
        editor->resize(340, 560);
        ASSERT_TRUE(showActive(*editor));
    }

    void TearDown() override
    {
        editor.reset();
        // Deferred deletions of closed choosers run before the library goes.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.reset();
        store.reset();
    }

    IconChooserSheet* open(const std::optional<QString>& initial = std::nullopt)
    {
        chooser = new IconChooserSheet(*state, initial, editor.get());
        QObject::connect(
            chooser, &IconChooserSheet::picked, chooser, [this](const QString& key) { picks.append(key); });
        QObject::connect(chooser, &IconChooserSheet::iconCleared, chooser, [this] { ++clears; });
        QObject::connect(chooser, &IconChooserSheet::dismissed, chooser, [this] { ++dismissals; });
        chooser->present();
        QApplication::processEvents();
        return chooser;
    }

    // True once the chooser has closed and been deleted.
    bool closed()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return chooser.isNull();
    }

    static void clickTile(IconTileGrid* grid, int index, Qt::MouseButton button = Qt::LeftButton)
    {
        ASSERT_GE(index, 0);
        QTest::mouseClick(grid, button, Qt::NoModifier, grid->tileRect(index).center());
    }

    static int indexOf(IconTileGrid* grid, const QString& key) { return int(grid->keys().indexOf(key)); }

    // The colour painted just inside the left edge of a tile, clear of its icon.
    QColor tileFill(IconTileGrid* grid, int index)
    {
        const QRect tile = grid->tileRect(index);
        const QPoint at = grid->mapTo(editor.get(), QPoint(tile.left() + 2, tile.center().y()));
        return editor->grab().toImage().pixelColor(at);
    }
};
