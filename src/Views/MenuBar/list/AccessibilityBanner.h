#pragma once

#include <QWidget>

class TextButton;

// The strip at the bottom of the main list while the program may not type into other
// applications, with the button that asks the desktop for that permission.
class AccessibilityBanner : public QWidget {
    Q_OBJECT
public:
    explicit AccessibilityBanner(QWidget* parent = nullptr);

    TextButton* enableButton() const { return m_enable; }

Q_SIGNALS:
    void enableRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TextButton* m_enable;
};
