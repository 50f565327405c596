#pragma once

#include <QList>
#include <QWidget>

class QAbstractButton;

// The appearance choice of the settings screen: three pills ("System", "Dark", "Light") in
// one glass capsule. The pill whose stored value equals the stored theme exactly is
// selected; with any other stored value none is. Pressing a pill asks for its value, even
// the selected one's; the selection follows only what was stored.
class ThemeSelector : public QWidget {
    Q_OBJECT
public:
    static constexpr int fixedWidth = 190;

    explicit ThemeSelector(QWidget* parent = nullptr);

    void setSelectedTheme(const QString& theme);
    QList<QAbstractButton*> pills() const { return m_pills; }

Q_SIGNALS:
    void themeChosen(const QString& theme);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<QAbstractButton*> m_pills;
};
