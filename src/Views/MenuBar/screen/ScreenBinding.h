#pragma once

#include "Views/MenuBar/screen/PopoverScreen.h"

#include <functional>

// A two-way binding to the screen the popover shows: a screen reads where the popover is
// and leaves by writing another screen ("Back" writes main).
class ScreenBinding {
public:
    ScreenBinding(std::function<PopoverScreen()> get, std::function<void(const PopoverScreen&)> set)
        : m_get(std::move(get))
        , m_set(std::move(set))
    {
    }

    PopoverScreen get() const { return m_get(); }
    void set(const PopoverScreen& screen) const { m_set(screen); }

private:
    std::function<PopoverScreen()> m_get;
    std::function<void(const PopoverScreen&)> m_set;
};
