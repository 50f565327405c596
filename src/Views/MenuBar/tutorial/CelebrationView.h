#pragma once

#include "Views/MenuBar/tutorial/TutorialPanel.h"

class QAbstractButton;

// The panel in the middle of the screen once the tutorial's shortcut has expanded: a check
// mark, "A little typing. A lot said." and a Done button that hides it. Its content fades
// in while growing slightly, or simply shows when motion is reduced.
class CelebrationView : public TutorialPanel {
    Q_OBJECT
public:
    static constexpr QSize panelSize{300, 200};
    static constexpr double fadeInSeconds = 0.25;
    static constexpr qreal startScale = 0.96;

    explicit CelebrationView(QWidget* parent = nullptr);

    QAbstractButton* doneButton() const { return m_done; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* m_content;
    QAbstractButton* m_done;
    bool m_shownText = false;
};
