#include "WaylandWindowEffects.h"

#include "WaylandConnection.h"
#include "WaylandLayerShell.h"

WaylandWindowEffects::WaylandWindowEffects()
    : m_layerShell(std::make_unique<WaylandLayerShell>(WaylandConnection::session()))
{
}

WaylandWindowEffects::~WaylandWindowEffects() = default;

bool WaylandWindowEffects::overlaySurfacesAvailable() const
{
    return m_layerShell->isAvailable();
}

std::unique_ptr<OverlaySurface> WaylandWindowEffects::createOverlaySurface(bool pointer)
{
    return m_layerShell->createSurface(pointer);
}
