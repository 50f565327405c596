#pragma once

#include <QWidget>

class QLabel;
class TextButton;

// The strip at the bottom of the main list while the program may not type into other
// applications, with the button that asks the desktop for that permission.
class ThemedLabel;

class AccessibilityBanner : public QWidget {
    Q_OBJECT
public:
    explicit AccessibilityBanner(QWidget* parent = nullptr);

    TextButton* enableButton() const { return m_enable; }
    QLabel* message() const { return m_message; }

    // What the strip says: an offer to enable typing when the permission can be asked for,
    // otherwise `reason`, the thing the user has to change themselves.
    void setReason(const QString& reason, bool canEnable);

Q_SIGNALS:
    void enableRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TextButton* m_enable;
    QLabel* m_message;
};
