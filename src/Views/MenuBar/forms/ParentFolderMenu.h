#pragma once

#include <QList>
#include <QString>
#include <QWidget>
#include <optional>

class QAbstractButton;
class QScrollArea;

// The folder editor's list of possible parent folders: a flat, scrolling column of rows, 260
// pixels wide and at most 260 high, with a check mark on the current choice (matched by id,
// so two folders of the same name stay apart). The editor shows it as a popup under its
// parent field; the arrow keys move between rows and Return or Space picks one.
class ParentFolderMenu : public QWidget {
    Q_OBJECT
public:
    struct Entry {
        QString label;
        std::optional<QString> id;
    };

    static constexpr int menuWidth = 260;
    static constexpr int maximumHeight = 260;
    // Room around the list for its shadow (the popup window is transparent there).
    static constexpr int shadowMargin = 10;

    ParentFolderMenu(const QList<Entry>& entries, const std::optional<QString>& current, QWidget* parent = nullptr);

    // One row per entry, in order.
    const QList<QAbstractButton*>& rows() const { return m_rows; }
    // Gives the keyboard focus to the current row (the first when none is current).
    void focusCurrentRow();

Q_SIGNALS:
    void chosen(const std::optional<QString>& id);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The list's own rectangle, inside the shadow margin.
    QRectF panel() const;

    QScrollArea* m_scroll;
    QList<QAbstractButton*> m_rows;
};
