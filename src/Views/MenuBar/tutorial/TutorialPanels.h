#pragma once

#include "Services/TutorialManager.h"

#include <QObject>
#include <QPointer>

class QWidget;

// Puts the tutorial's floating panels on screen for the tutorial: the helper at the bottom
// centre of the screen while the user tries the shortcut in another application, then the
// celebration in the middle once it expanded, which hides by itself after a few seconds.
// At most one of them is on screen. Where a panel cannot float without taking the keyboard
// from the application the user types in, neither is shown; the tutorial still ends when the
// shortcut expands.
class TutorialPanels : public QObject {
    Q_OBJECT
public:
    static constexpr int helperBottomMargin = 50;
    static constexpr double celebrationSeconds = 4.0;

    explicit TutorialPanels(TutorialManager& tutorial, QObject* parent = nullptr);
    ~TutorialPanels() override;

    // The presenters to install in the tutorial; `openChatSite` opens the chat web site.
    TutorialManager::Presenters presenters(std::function<void()> openChatSite);

    void showHelper(const QStringList& triggers);
    void showCelebration();
    // Hides and forgets the panel on screen.
    void closePanel();

    // The panel on screen, or null.
    QWidget* panel() const { return m_panel; }

private:
    void present(QWidget* panel, const QPoint& origin);

    TutorialManager& m_tutorial;
    QPointer<QWidget> m_panel;
};
