#include "Views/MenuBar/chooser/IconTileGridAccessible.h"

#include "Views/MenuBar/chooser/IconTileGrid.h"

#include <QPointer>

namespace {

// One tile, read live from the grid: its index may outlive the tile when the grid is
// refilled, and then it is no longer valid.
class TileAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TileAccessible(IconTileGrid* grid, int index)
        : m_grid(grid)
        , m_index(index)
    {
    }

    int index() const { return m_index; }

    bool isValid() const override { return m_grid && m_index < m_grid->count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_grid ? m_grid->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_grid); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override { }
    QAccessible::Role role() const override { return QAccessible::Button; }

    QString text(QAccessible::Text kind) const override
    {
        if (!isValid() || kind != QAccessible::Name)
            return {};
        const IconTileGrid::Tile& tile = m_grid->tile(m_index);
        return tile.name.isEmpty() ? tile.toolTip : tile.name;
    }

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect tile = m_grid->tileRect(m_index);
        return {m_grid->mapToGlobal(tile.topLeft()), tile.size()};
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid())
            return state;
        state.focusable = true;
        state.focused = m_grid->hasFocus() && m_grid->currentIndex() == m_index;
        state.checkable = true;
        state.checked = m_grid->markedKey() == m_grid->tile(m_index).key;
        state.invisible = !m_grid->isVisible();
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
    void doAction(const QString& name) override
    {
        if (name == pressAction() && isValid())
            m_grid->activate(m_index);
    }

private:
    QPointer<IconTileGrid> m_grid;
    int m_index;
};

QAccessibleInterface* gridFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("IconTileGrid") && object && object->isWidgetType())
        return new IconTileGridAccessible(static_cast<IconTileGrid*>(object));
    return nullptr;
}

} // namespace

IconTileGridAccessible::IconTileGridAccessible(IconTileGrid* grid)
    : QAccessibleWidget(grid, QAccessible::List)
{
}

IconTileGridAccessible::~IconTileGridAccessible()
{
    tilesChanged();
}

void IconTileGridAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(&gridFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

IconTileGrid* IconTileGridAccessible::grid() const
{
    return static_cast<IconTileGrid*>(widget());
}

void IconTileGridAccessible::tilesChanged()
{
    for (const QAccessible::Id id : std::as_const(m_tiles))
        QAccessible::deleteAccessibleInterface(id);
    m_tiles.clear();
}

int IconTileGridAccessible::childCount() const
{
    return grid()->count();
}

QAccessibleInterface* IconTileGridAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    if (const auto known = m_tiles.constFind(index); known != m_tiles.cend()) {
        if (QAccessibleInterface* tile = QAccessible::accessibleInterface(*known))
            return tile;
    }
    auto* tile = new TileAccessible(grid(), index);
    m_tiles.insert(index, QAccessible::registerAccessibleInterface(tile));
    return tile;
}

int IconTileGridAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    const auto* tile = dynamic_cast<const TileAccessible*>(child);
    return tile && tile->isValid() && tile->parent() == this ? tile->index() : -1;
}

QAccessibleInterface* IconTileGridAccessible::childAt(int x, int y) const
{
    return child(grid()->tileAt(grid()->mapFromGlobal(QPoint(x, y))));
}

QAccessibleInterface* IconTileGridAccessible::focusChild() const
{
    return grid()->hasFocus() ? child(grid()->currentIndex()) : nullptr;
}
