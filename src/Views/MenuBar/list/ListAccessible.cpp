#include "Views/MenuBar/list/ListAccessible.h"

#include "Views/MenuBar/list/CardListCanvas.h"
#include "Views/MenuBar/list/LibraryItemCard.h"

#include <QAccessibleWidget>

namespace {

constexpr qsizetype previewCharacters = 160;

// The row the keyboard is on: the one selected card, in a list that holds the keyboard.
bool isCurrent(const LibraryItemCard* card)
{
    const QWidget* list = card->parentWidget();
    return card->isSelected() && card->isSoleSelection() && list && list->hasFocus();
}

class CardAccessible final : public QAccessibleWidget {
public:
    explicit CardAccessible(LibraryItemCard* card)
        : QAccessibleWidget(card, QAccessible::ListItem)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        const auto* card = static_cast<const LibraryItemCard*>(widget());
        state.focusable = true;
        state.selectable = true;
        state.selected = card->isSelected();
        state.focused = isCurrent(card);
        return state;
    }

    QStringList actionNames() const override { return {toggleAction()}; }
    void doAction(const QString& name) override
    {
        if (name == toggleAction())
            static_cast<LibraryItemCard*>(widget())->click(true);
    }
};

class CardListAccessible final : public QAccessibleWidget {
public:
    explicit CardListAccessible(QWidget* list)
        : QAccessibleWidget(list, QAccessible::List)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.focusable = true;
        state.multiSelectable = true;
        return state;
    }

    QAccessibleInterface* focusChild() const override
    {
        for (QObject* child : widget()->children()) {
            if (auto* card = qobject_cast<LibraryItemCard*>(child); card && card->isVisible() && isCurrent(card))
                return QAccessible::queryAccessibleInterface(card);
        }
        return QAccessibleWidget::focusChild();
    }
};

QAccessibleInterface* factory(const QString& className, QObject* object)
{
    if (className == QLatin1String("LibraryItemCard"))
        return new CardAccessible(static_cast<LibraryItemCard*>(object));
    if (className == QLatin1String("CardListCanvas"))
        return new CardListAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

namespace ListAccessible {

void install()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
}

void announceSelection(LibraryItemCard* card, bool selectionChanged)
{
    if (!QAccessible::isActive())
        return;
    if (selectionChanged) {
        QAccessible::State changed;
        changed.selected = true;
        QAccessibleStateChangeEvent selection(card, changed);
        QAccessible::updateAccessibility(&selection);
    }
    if (card->isVisible() && isCurrent(card)) {
        QAccessibleEvent focus(card, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
}

QString spokenPreview(const QString& text)
{
    QString line = text.left(previewCharacters + 1).simplified();
    if (line.size() <= previewCharacters && text.size() <= previewCharacters)
        return line;
    return line.left(previewCharacters).trimmed() + QChar(0x2026);
}

} // namespace ListAccessible
