#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;
class QWindow;

// Marks a widget as a place the guided tutorial can point at: its frame on screen is
// reported to the tutorial under `id` whenever it could have changed (shown, moved,
// resized, or any of its ancestors moved, which includes scrolling and the popover
// window moving). Owned by the widget it watches.
class TutorialTarget : public QObject {
    Q_OBJECT
public:
    static void mark(QWidget* widget, const QString& id);

    QString id() const { return m_id; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TutorialTarget(QWidget* widget, const QString& id);

    // Watches the widget and every ancestor up to its window; called again when one of
    // them is put under another parent.
    void watchAncestors();
    void watchWindow();
    void report();

    QPointer<QWidget> m_widget;
    QString m_id;
    QList<QPointer<QWidget>> m_watched;
    QPointer<QWindow> m_window;
};
