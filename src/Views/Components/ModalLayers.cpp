#include "Views/Components/ModalLayers.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <algorithm>

namespace {

// Whether `a` is drawn over `b`, both in one window: a child over its parent, a later
// sibling's branch over an earlier one's.
bool drawnOver(const QWidget* a, const QWidget* b)
{
    if (a == b || a->isAncestorOf(b))
        return false;
    if (b->isAncestorOf(a))
        return true;
    const QWidget* branchA = a;
    while (branchA->parentWidget() && !branchA->parentWidget()->isAncestorOf(b))
        branchA = branchA->parentWidget();
    const QWidget* common = branchA->parentWidget();
    if (!common)
        return false;
    const QWidget* branchB = b;
    while (branchB->parentWidget() != common)
        branchB = branchB->parentWidget();
    const QObjectList& stack = common->children();
    return stack.indexOf(const_cast<QWidget*>(branchA)) > stack.indexOf(const_cast<QWidget*>(branchB));
}

bool takesTab(const QWidget* widget)
{
    return widget->isVisible() && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus)
        && !widget->focusProxy();
}

class LayerKeeper final : public QObject {
public:
    static LayerKeeper& instance()
    {
        static QPointer<LayerKeeper> keeper;
        if (!keeper)
            keeper = new LayerKeeper;
        return *keeper;
    }

    void add(QWidget* layer)
    {
        if (find(layer))
            return;
        m_layers.append({layer, {}, false});
        layer->installEventFilter(this);
        connect(layer, &QObject::destroyed, this, [this](QObject* gone) {
            m_layers.erase(std::remove_if(m_layers.begin(), m_layers.end(),
                               [gone](const Layer& l) { return !l.widget || l.widget == gone; }),
                m_layers.end());
        });
    }

    void release(QWidget* layer)
    {
        Layer* entry = find(layer);
        if (!entry || entry->released)
            return;
        entry->released = true;
        giveBack(*entry);
    }

    QWidget* top(const QWidget* widget) const
    {
        if (!widget)
            return nullptr;
        const QWidget* window = widget->window();
        QWidget* result = nullptr;
        for (const Layer& layer : m_layers) {
            QWidget* candidate = layer.widget;
            if (candidate && !layer.released && candidate->isVisible() && candidate->window() == window
                && (!result || drawnOver(candidate, result)))
                result = candidate;
        }
        return result;
    }

    bool anyUp(const QWidget* widget) const
    {
        const QWidget* window = widget->window();
        return std::any_of(m_layers.cbegin(), m_layers.cend(), [window](const Layer& layer) {
            return layer.widget && !layer.released && layer.widget->window() == window
                && layer.widget->isVisibleTo(window);
        });
    }

    bool isCovered(const QWidget* widget) const
    {
        const QWidget* layer = top(widget);
        return layer && widget != layer && !layer->isAncestorOf(widget) && !drawnOver(widget, layer);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A window that closes hides its layers with it: nothing is shown there to take the
        // keyboard then, and the layers hold it again when the window comes back.
        if (event->type() == QEvent::Show || event->type() == QEvent::Hide) {
            if (Layer* layer = find(watched)) {
                if (event->type() == QEvent::Show)
                    arrive(*layer);
                else if (!layer->released)
                    giveBack(*layer);
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    struct Layer {
        QPointer<QWidget> widget;
        QPointer<QWidget> focusBefore;
        bool released = false;
    };

    LayerKeeper()
        : QObject(qApp)
    {
        connect(qApp, &QApplication::focusChanged, this, &LayerKeeper::follow);
    }

    Layer* find(const QObject* widget)
    {
        for (Layer& layer : m_layers) {
            if (layer.widget == widget)
                return &layer;
        }
        return nullptr;
    }

    void arrive(Layer& layer)
    {
        layer.released = false;
        QWidget* focus = layer.widget->window()->focusWidget();
        if (focus && focus != layer.widget && !layer.widget->isAncestorOf(focus))
            layer.focusBefore = focus;
    }

    void giveBack(const Layer& layer)
    {
        QWidget* window = layer.widget->window();
        const QWidget* focus = window->focusWidget();
        if (focus && focus != layer.widget && !layer.widget->isAncestorOf(focus) && focus->isVisible())
            return;
        QWidget* before = layer.focusBefore;
        if (before && before->isVisible() && before->isEnabled() && !isCovered(before))
            before->setFocus(Qt::OtherFocusReason);
        else if (QWidget* under = top(window))
            under->setFocus(Qt::OtherFocusReason);
    }

    // Whatever put the keyboard under a layer, the layer takes it. Later, not at once: the
    // focus change under way has yet to tell assistive technology, which is then told of the
    // layer last.
    void follow(QWidget*, QWidget* now)
    {
        if (!now || !isCovered(now))
            return;
        QMetaObject::invokeMethod(
            this,
            [this, now = QPointer<QWidget>(now)] {
                if (!now || QApplication::focusWidget() != now || !isCovered(now))
                    return;
                if (QWidget* layer = top(now))
                    layer->setFocus(Qt::OtherFocusReason);
            },
            Qt::QueuedConnection);
    }

    QList<Layer> m_layers;
};

} // namespace

namespace ModalLayers {

void add(QWidget* layer)
{
    LayerKeeper::instance().add(layer);
}

void release(QWidget* layer)
{
    LayerKeeper::instance().release(layer);
}

QWidget* top(const QWidget* widget)
{
    return LayerKeeper::instance().top(widget);
}

bool anyUp(const QWidget* widget)
{
    return widget && LayerKeeper::instance().anyUp(widget);
}

bool isCovered(const QWidget* widget)
{
    return widget && LayerKeeper::instance().isCovered(widget);
}

bool focusNextInside(const QWidget* widget, bool next)
{
    QWidget* layer = top(widget);
    if (!layer)
        return false;
    QList<QWidget*> chain;
    for (QWidget* candidate = layer->nextInFocusChain(); candidate && candidate != layer;
         candidate = candidate->nextInFocusChain()) {
        if (layer->isAncestorOf(candidate) && takesTab(candidate) && !chain.contains(candidate))
            chain.append(candidate);
    }
    if (chain.isEmpty())
        return true;
    const qsizetype at = chain.indexOf(layer->window()->focusWidget());
    const qsizetype target
        = at < 0 ? (next ? 0 : chain.size() - 1) : (at + (next ? 1 : chain.size() - 1)) % chain.size();
    chain[target]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

} // namespace ModalLayers
