#pragma once

#include <QWidget>

class TextButton;

// The strip at the bottom of the main list while the program may not type into other
// applications, with the button that asks the desktop for that permission.
class ThemedLabel;

class AccessibilityBanner : public QWidget {
    Q_OBJECT
public:
    explicit AccessibilityBanner(QWidget* parent = nullptr);

    TextButton* enableButton() const { return m_enable; }

    // The line for a missing permission, with the Enable button; or, with an application's
    // name, the line that says it cannot be reached, without the button.
    void showUnreachable(const QString& application);
    QString text() const;

Q_SIGNALS:
    void enableRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TextButton* m_enable;
    ThemedLabel* m_line;
};
