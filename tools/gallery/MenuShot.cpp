#include "MenuShot.h"

#include "platform/WindowEffects.h"

#include <QMenu>
#include <QPainter>
#include <QTimer>

namespace {

class CompositedDesktop final : public WindowEffects {
public:
    bool translucencyAvailable() const override { return true; }
    bool blurAvailable() const override { return false; }
    void setBlurBehind(QWindow&, bool) override { }
};

struct Grabbed {
    QPixmap pixmap;
    QPoint at;
    // What the window system shows of a masked window; empty for all of it.
    QRegion mask;
};

class Overlay : public QWidget {
public:
    explicit Overlay(QWidget* parent)
        : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    QList<Grabbed> grabbed;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        for (const Grabbed& menu : std::as_const(grabbed)) {
            painter.setClipping(false);
            if (!menu.mask.isEmpty())
                painter.setClipRegion(menu.mask.translated(menu.at));
            painter.drawPixmap(menu.at, menu.pixmap);
        }
    }
};

} // namespace

MenuShot::MenuShot(QWidget* page, QSize room, std::function<void(MenuShot&)> open)
    : m_overlay(new Overlay(this))
    , m_open(std::move(open))
{
    page->setParent(this);
    page->move(0, 0);
    setFixedSize(page->size() + room);
    m_overlay->setGeometry(rect());
    m_overlay->raise();
}

void MenuShot::layOver(QMenu* menu, QAction* highlighted)
{
    if (highlighted)
        menu->setActiveAction(highlighted);
    layOver(QList<QMenu*>{menu});
}

void MenuShot::layOver(const QList<QMenu*>& menus)
{
    auto* overlay = static_cast<Overlay*>(m_overlay);
    for (QMenu* menu : menus) {
        if (menu->isVisible())
            overlay->grabbed.append({menu->grab(), overlay->mapFromGlobal(menu->pos()), menu->mask()});
    }
    overlay->update();
    for (auto it = menus.crbegin(); it != menus.crend(); ++it)
        (*it)->hide();
}

void MenuShot::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_opened)
        return;
    m_opened = true;
    QTimer::singleShot(0, this, [this] { m_open(*this); });
}

namespace {
CompositedDesktop compositedDesktop;
}

MenuShot::Translucency::Translucency()
{
    WindowEffects::setCurrent(&compositedDesktop);
}

MenuShot::Translucency::~Translucency()
{
    WindowEffects::setCurrent(nullptr);
}
