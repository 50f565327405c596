#pragma once

#include "Views/Components/GlassCardModifier.h"

#include <QWidget>

// A container drawn on glass card chrome that reports the pointer's hover to it; cards
// build their content inside and report selection, drop target and tint to `chrome()`.
class GlassCard : public QWidget {
    Q_OBJECT
public:
    explicit GlassCard(QWidget* parent = nullptr);

    GlassCardModifier& chrome() { return *m_chrome; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    GlassCardModifier* m_chrome;
};
