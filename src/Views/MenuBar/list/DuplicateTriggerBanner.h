#pragma once

#include <QWidget>

class TextButton;
class ThemedLabel;

// The line between the search bar and the list while triggers are shared by several
// shortcuts, or while those shortcuts are under review: how many triggers are shared and
// the button that enters or leaves the review.
class DuplicateTriggerBanner : public QWidget {
    Q_OBJECT
public:
    explicit DuplicateTriggerBanner(QWidget* parent = nullptr);

    // `count` distinct shared triggers; `reviewing` while only they are listed.
    void setState(qsizetype count, bool reviewing);

    ThemedLabel* message() const { return m_message; }
    TextButton* reviewButton() const { return m_button; }

Q_SIGNALS:
    void reviewToggled();

private:
    ThemedLabel* m_message;
    TextButton* m_button;
};
