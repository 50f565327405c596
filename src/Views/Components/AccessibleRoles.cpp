#include "Views/Components/AccessibleRoles.h"

#include "Views/Components/ModalLayers.h"

#include <QAbstractButton>
#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace {

const char* const roleProperty = "velmoraAccessibleRole";
const char* const modalLayerProperty = "velmoraModalLayer";
const char* const unseenProperty = "velmoraNeverShown";

// Whether `widget` belongs to a window that is laid out but never shown.
bool isUnseen(const QWidget* widget)
{
    const QWidget* window = widget->window();
    return window && window->property(unseenProperty).toBool();
}

// What a widget that is never seen tells: nothing. An invalid description makes Qt drop
// every event about it (its showing, its name changing) before a screen reader hears it.
class UnseenAccessible final : public QAccessibleWidget {
public:
    explicit UnseenAccessible(QWidget* widget)
        : QAccessibleWidget(widget)
    {
    }

    bool isValid() const override { return false; }
};

class RoleAccessible final : public QAccessibleWidget {
public:
    RoleAccessible(QWidget* widget, QAccessible::Role role)
        : QAccessibleWidget(widget, role)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget()); button && button->isCheckable()) {
            state.checkable = true;
            state.checked = button->isChecked();
        }
        // Qt counts a widget focused while its focus proxy is (a field's glass panel): the
        // proxy is where the keyboard is, and a screen reader looking for it should find only it.
        if (widget()->focusProxy())
            state.focused = false;
        return state;
    }

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (qobject_cast<const QAbstractButton*>(widget()))
            names.prepend(pressAction());
        return names;
    }

    void doAction(const QString& name) override
    {
        auto* button = qobject_cast<QAbstractButton*>(widget());
        if (button && name == pressAction()) {
            if (button->isEnabled())
                button->click();
            return;
        }
        QAccessibleWidget::doAction(name);
    }

    int childCount() const override { return int(shownChildren().size()); }
    QAccessibleInterface* child(int index) const override
    {
        const QList<QAccessibleInterface*> shown = shownChildren();
        return index >= 0 && index < shown.size() ? shown.at(index) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return int(shownChildren().indexOf(const_cast<QAccessibleInterface*>(child)));
    }

private:
    // The children, from the topmost modal layer that shows on: what lies under it is
    // covered, and a screen reader that found it would read a screen the user cannot reach.
    QList<QAccessibleInterface*> shownChildren() const
    {
        QList<QAccessibleInterface*> all;
        const int count = QAccessibleWidget::childCount();
        qsizetype top = 0;
        for (int i = 0; i < count; ++i) {
            QAccessibleInterface* child = QAccessibleWidget::child(i);
            if (!child)
                continue;
            const auto* layer = qobject_cast<const QWidget*>(child->object());
            if (layer && layer->property(modalLayerProperty).toBool() && !layer->isHidden())
                top = all.size();
            all.append(child);
        }
        return all.mid(top);
    }
};

// Qt's own description of the application, with the pop-ups that are open: they are where
// a screen reader finds the menu whose item it has just been told is focused. Windows that
// never show on screen are left out.
class ApplicationAccessible final : public QAccessibleObject {
public:
    ApplicationAccessible()
        : QAccessibleObject(qApp)
    {
    }

    QWindow* window() const override { return nullptr; }
    QAccessibleInterface* parent() const override { return nullptr; }
    int childCount() const override { return int(children().size()); }
    QAccessibleInterface* child(int index) const override
    {
        const QList<QAccessibleInterface*> all = children();
        return index >= 0 && index < all.size() ? all.at(index) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return int(children().indexOf(const_cast<QAccessibleInterface*>(child)));
    }
    QAccessibleInterface* focusChild() const override
    {
        if (QWindow* window = QGuiApplication::focusWindow()) {
            if (QAccessibleInterface* root = window->accessibleRoot())
                return root;
        }
        return nullptr;
    }
    QString text(QAccessible::Text kind) const override
    {
        switch (kind) {
        case QAccessible::Name: return QGuiApplication::applicationName();
        case QAccessible::Description: return QGuiApplication::applicationDisplayName();
        default: return {};
        }
    }
    QAccessible::Role role() const override { return QAccessible::Application; }
    QAccessible::State state() const override { return {}; }

private:
    static QList<QAccessibleInterface*> children()
    {
        QList<QAccessibleInterface*> result;
        for (QWindow* window : QGuiApplication::topLevelWindows()) {
            if (window->type() == Qt::Desktop || (window->type() == Qt::Popup && !window->isVisible()))
                continue;
            QAccessibleInterface* root = window->accessibleRoot();
            if (!root || !root->object())
                continue;
            // Windows made only to be measured are never seen, nor read.
            if (const auto* widget = qobject_cast<const QWidget*>(root->object());
                widget && widget->testAttribute(Qt::WA_DontShowOnScreen))
                continue;
            result.append(root);
        }
        return result;
    }
};

QAccessibleInterface* applicationFactory(const QString&, QObject* object)
{
    return object == qApp ? new ApplicationAccessible : nullptr;
}

QAccessibleInterface* roleFactory(const QString&, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    if (isUnseen(widget))
        return new UnseenAccessible(widget);
    const QVariant role = widget->property(roleProperty);
    return role.isValid() ? new RoleAccessible(widget, QAccessible::Role(role.toInt())) : nullptr;
}

void installRoleFactory()
{
    // Installed once the application exists, after Qt's own factory of widget descriptions:
    // the factory installed last is asked first.
    static const bool installed = [] {
        QAccessible::installFactory(roleFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace

namespace AccessibleRoles {

void setRole(QWidget* widget, QAccessible::Role role)
{
    installRoleFactory();
    if (widget->property(roleProperty) == QVariant(int(role)))
        return;
    widget->setProperty(roleProperty, int(role));
    // Setting a name or a check state may already have made a description of another role.
    if (QAccessibleInterface* current = QAccessible::queryAccessibleInterface(widget);
        current && current->role() != role)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(current));
}

void hostModalLayers(QWidget* host)
{
    if (!host->property(roleProperty).isValid())
        setRole(host, QAccessible::Client);
}

void keepUnseen(QWidget* window)
{
    installRoleFactory();
    window->setProperty(unseenProperty, true);
    // Descriptions made while it was built (a name set) would still be told of.
    QList<QWidget*> all = window->findChildren<QWidget*>();
    all.prepend(window);
    for (QWidget* widget : std::as_const(all)) {
        if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(widget);
            made && !dynamic_cast<UnseenAccessible*>(made))
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    }
}

void markModalLayer(QWidget* layer)
{
    layer->setProperty(modalLayerProperty, true);
    ModalLayers::add(layer);
    QWidget* parent = layer->parentWidget();
    if (!parent || parent->property(roleProperty).isValid())
        return;
    const QAccessibleInterface* current = QAccessible::queryAccessibleInterface(parent);
    setRole(parent, current ? current->role() : QAccessible::Client);
    // A description made before of the same role lists every child.
    if (current && !dynamic_cast<const RoleAccessible*>(current))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(const_cast<QAccessibleInterface*>(current)));
}

QWidget* addNotice(QWidget* parent)
{
    auto* notice = new QWidget(parent);
    notice->setAttribute(Qt::WA_TransparentForMouseEvents);
    // Orca speaks a notification when it shows.
    setRole(notice, QAccessible::Notification);
    notice->hide();
    return notice;
}

void announce(QWidget* notice, const QString& text, const QRect& area)
{
    notice->hide();
    notice->setAccessibleName(text);
    notice->setGeometry(area);
    notice->show();
}

void exposePopups()
{
    QAccessible::installFactory(applicationFactory);
}

} // namespace AccessibleRoles
