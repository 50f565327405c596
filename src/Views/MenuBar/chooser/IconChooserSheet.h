#pragma once

#include <QPointer>
#include <QSize>
#include <QWidget>

#include <optional>

class AppState;
class EmojiTabContent;
class IconTileGrid;
class IconUploadContent;
class QAbstractButton;
class QStackedWidget;

// The card in which the user chooses a folder's icon, laid over the folder editor: a dimmed
// backdrop and, centred on it, a 276 by 368 card with the tabs "Icons" (the built-in icons),
// "Emoji" (the emoji catalog with search and the recent emoji) and "Upload" (SVG icons of
// the user's own).
//
// A pick emits `picked` with the icon key (a built-in key, the emoji itself, or "custom:"
// and an upload's id) and closes the card; deleting the upload that is the folder's icon
// emits `iconCleared` and leaves it open. Escape, a click on the backdrop, and
// "velmoraDismissOverlays" close it without a pick. Closing emits `dismissed` and deletes
// the card; the owner makes a new one each time it shows the chooser.
//
//     auto* chooser = new IconChooserSheet(appState, icon, this);
//     connect(chooser, &IconChooserSheet::picked, this, &FolderForm::setIcon);
//     connect(chooser, &IconChooserSheet::iconCleared, this, [this] { setIcon(std::nullopt); });
//     chooser->present();
class IconChooserSheet : public QWidget {
    Q_OBJECT
public:
    enum class Tab { icons, emoji, upload };

    static constexpr QSize cardSize{276, 368};
    static constexpr qreal cardRadius = 14;

    // `initial`: the folder's icon key when the chooser opens; marked in the grids.
    IconChooserSheet(AppState& appState, std::optional<QString> initial, QWidget* parent);

    // Covers the parent (following its size), shows the card on the Icons tab and takes the
    // keyboard focus.
    void present();
    // Closes without a pick (as Escape does) and gives the focus back.
    void dismiss();
    bool isDismissed() const { return m_dismissed; }

    Tab tab() const { return m_tab; }
    void setTab(Tab tab);
    const std::optional<QString>& initial() const { return m_initial; }

    QWidget* card() const { return m_card; }
    QAbstractButton* tabButton(Tab tab) const;
    IconTileGrid* iconGrid() const { return m_iconGrid; }
    EmojiTabContent* emojiContent() const { return m_emoji; }
    IconUploadContent* uploadContent() const { return m_upload; }

Q_SIGNALS:
    void picked(const QString& iconKey);
    void iconCleared();
    void dismissed();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void pickIcon(const QString& key);
    void pickEmoji(const QString& emoji);
    void focusTabContent();
    QRect cardRect() const;

    std::optional<QString> m_initial;
    Tab m_tab = Tab::icons;
    bool m_dismissed = false;
    bool m_pressOnBackdrop = false;
    QPointer<QWidget> m_focusBefore;
    QWidget* m_card = nullptr;
    QWidget* m_outline = nullptr;
    QList<QAbstractButton*> m_tabButtons;
    QStackedWidget* m_pages = nullptr;
    IconTileGrid* m_iconGrid = nullptr;
    EmojiTabContent* m_emoji = nullptr;
    IconUploadContent* m_upload = nullptr;
};
