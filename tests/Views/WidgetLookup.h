#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QStringList>
#include <QWidget>

// Finding what a screen shows the way a user sees it: by its text, among visible widgets.

// The button titled `text` that is visible inside `root`, or null.
inline QAbstractButton* visibleButton(const QWidget* root, const QString& text)
{
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>())
        if (button->text() == text && button->isVisibleTo(root))
            return button;
    return nullptr;
}

// The texts of every visible label inside `root`, in creation order.
inline QStringList visibleTexts(const QWidget* root)
{
    QStringList texts;
    for (const QLabel* label : root->findChildren<QLabel*>())
        if (label->isVisibleTo(root) && !label->text().isEmpty())
            texts << label->text();
    return texts;
}
