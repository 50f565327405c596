#pragma once

#include "Views/MenuBar/tutorial/TutorialPanel.h"

#include <QStringList>
#include <functional>

class QAbstractButton;

// The panel of the tutorial's last step, at the bottom centre of the screen over the chat
// web site: it asks the user to type the trigger (the first of `triggers`, "/hello" when
// there is none) in the site's message field. Its close button, and a close asked by the
// window system, end the tutorial through `onSkip`.
class FloatingTutorialHelper : public TutorialPanel {
    Q_OBJECT
public:
    static constexpr QSize panelSize{340, 112};

    FloatingTutorialHelper(const QStringList& triggers, const std::function<void()>& onSkip, QWidget* parent = nullptr);

    QString trigger() const { return m_trigger; }
    QAbstractButton* closeButton() const { return m_close; }

private:
    QString m_trigger;
    QAbstractButton* m_close;
};
