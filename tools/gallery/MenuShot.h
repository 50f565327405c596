#pragma once

#include <QList>
#include <QPixmap>
#include <QWidget>
#include <functional>

class QMenu;

// A page with pop-up menus laid over it where the window system would show them. Menus are
// windows of their own, which a grab of the page leaves out: once the page is on screen,
// `open` pops them up and hands each to `layOver`, which grabs it at its place and closes it.
// The page gets `room` to its right and below, where menus may reach past it.
class MenuShot : public QWidget {
public:
    MenuShot(QWidget* page, QSize room, std::function<void(MenuShot&)> open);

    // Lays `menu`, popped up and laid out, over the page as it is now, then hides it.
    // `highlighted` is the row shown under the pointer, if any.
    void layOver(QMenu* menu, QAction* highlighted = nullptr);
    // Lays the open `menus` over the page, each over the one before (a menu, then the
    // submenu it opened), then hides them all.
    void layOver(const QList<QMenu*>& menus);

    // Translucent popup windows, as under a compositing manager, for menus made while it lives.
    class Translucency;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* m_overlay;
    std::function<void(MenuShot&)> m_open;
    bool m_opened = false;
};

class MenuShot::Translucency {
public:
    Translucency();
    ~Translucency();
};
