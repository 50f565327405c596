#pragma once

#include "Utilities/SvgUpload.h"

#include <QList>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class AppState;
class IconTileGrid;
class QAbstractButton;
class QLabel;

// The Upload tab of the icon chooser: a drop zone that also opens a file chooser ("Drop SVG
// here or browse"), "Paste SVG from clipboard", the error line, and the grid of the library's
// uploaded icons under "Your uploads", each with a context menu to delete it.
//
// SVG comes in from the file chooser, a drop of one or more .svg files, or the clipboard.
// It is read and checked (SvgUpload) on a worker thread, then stored through AppState. The
// storing outlives this tab: when the chooser closes while files are still being read, the
// icons are added all the same, but nothing is picked. A batch whose every icon was stored
// picks the last one; otherwise the error line says what went wrong (naming the file when
// several came at once) and the chooser stays open, showing the icons that did go in.
class IconUploadContent : public QWidget {
    Q_OBJECT
public:
    static inline const QString storeFailedText = QStringLiteral("The icon couldn't be saved to your library.");
    static inline const QString removeFailedText = QStringLiteral("The icon couldn't be removed from your library.");

    // `initial`: the folder's icon key, marked in the grid.
    IconUploadContent(AppState& appState, std::optional<QString> initial, QWidget* parent = nullptr);

    // The error line's text; none while it is hidden.
    std::optional<QString> error() const { return m_error; }

    // Opens the file chooser for one SVG file.
    void chooseFile();
    // Uploads the clipboard's SVG document, or its plain text.
    void pasteFromClipboard();
    // Uploads these files (in this order), as a drop does.
    void uploadFiles(const QStringList& paths);
    // Removes the uploaded icon with this id, as its context menu item does.
    void deleteIcon(const QString& id);

    QAbstractButton* dropZone() const { return m_dropZone; }
    QAbstractButton* pasteButton() const { return m_pasteButton; }
    QLabel* errorLine() const { return m_errorLine; }
    IconTileGrid* grid() const { return m_grid; }

Q_SIGNALS:
    void picked(const QString& iconKey);
    // The folder's current icon was deleted: it has no icon now.
    void iconCleared();
    // A batch of uploads has been stored (or refused) and reported.
    void uploadsFinished();

private:
    void upload(std::function<QList<SvgUpload>()> read);
    void showError(const std::optional<QString>& text);
    void refreshUploads();
    void showContextMenu(const QString& key, const QPoint& globalPosition);

    AppState& m_appState;
    std::optional<QString> m_initial;
    std::optional<QString> m_error;
    QAbstractButton* m_dropZone = nullptr;
    QAbstractButton* m_pasteButton = nullptr;
    QLabel* m_errorLine = nullptr;
    QLabel* m_caption = nullptr;
    IconTileGrid* m_grid = nullptr;
};
