#include "Models/FolderIconCatalog.h"

#include "Utilities/RenderedIconCache.h"
#include "Utilities/SvgIconRenderer.h"

#include <QPainter>

namespace {

struct BuiltInIcon {
    const char* key;
    const char* svg;
};

// In display order. All share one style: filled shapes without strokes on a 24 by 24 grid,
// drawn in the inherited colour, their main forms within 2..22.
constexpr BuiltInIcon builtInIcons[] = {
    {"folder",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M20 6h-8l-2-2H4)"
        R"(c-1.1 0-2 .9-2 2v12c0 1.1.9 2 2 2h16c1.1 0 2-.9 2-2V8c0-1.1-.9-2-2-2z"/></svg>)"},
    {"star",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M12 2.5L14.53 9.42L21.89 9.69)"
        R"(L16.09 14.23L18.11 21.31L12 17.2L5.89 21.31L7.91 14.23L2.11 9.69L9.47 9.42z"/></svg>)"},
    {"heart",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M12 20.8L3.96 11.88)"
        R"(A4.9 4.9 0 1 1 12 6.44A4.9 4.9 0 1 1 20.04 11.88z"/></svg>)"},
    {"bookmark",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M7 2h10a2 2 0 0 1 2 2v17.2)"
        R"(a.6.6 0 0 1-.9.5L12 17.8l-6.1 3.9a.6.6 0 0 1-.9-.5V4a2 2 0 0 1 2-2z"/></svg>)"},
    {"flag",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M5 2a1 1 0 0 1 1 1v18)"
        R"(a1 1 0 0 1-2 0V3a1 1 0 0 1 1-1zM7.5 3.5h12.2a.6.6 0 0 1 .5.9L17.3 8.8l2.9 4.4)"
        R"(a.6.6 0 0 1-.5.9H7.5z"/></svg>)"},
    {"tag",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M3.5 2h7.7c.5 0 1 .2 1.4.6)"
        R"(l8.8 8.8c.8.8.8 2 0 2.8l-7.6 7.6c-.8.8-2 .8-2.8 0l-8.8-8.8A2 2 0 0 1 2 11.6V3.5)"
        R"(C2 2.7 2.7 2 3.5 2zM7 5.3A1.7 1.7 0 1 0 7 8.7A1.7 1.7 0 1 0 7 5.3z"/></svg>)"},
    {"archive",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M3.2 3H20.8)"
        R"(A1.2 1.2 0 0 1 22 4.2V6.8A1.2 1.2 0 0 1 20.8 8H3.2A1.2 1.2 0 0 1 2 6.8V4.2)"
        R"(A1.2 1.2 0 0 1 3.2 3zM3.5 9.5h17V19a2 2 0 0 1-2 2h-13a2 2 0 0 1-2-2zM10 11.5)"
        R"(A1 1 0 0 0 9 12.5V12.5A1 1 0 0 0 10 13.5H14A1 1 0 0 0 15 12.5V12.5A1 1 0 0 0 14 11.5)"
        R"(z"/></svg>)"},
    {"box",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M2.5 7.8l8.7 4.4V22l-8.2-4.1)"
        R"(a1 1 0 0 1-.5-.9zM21.5 7.8l-8.7 4.4V22l8.2-4.1a1 1 0 0 0 .5-.9z"/><path opa)"
        R"(city=".3" d="M11.6 2.1a1 1 0 0 1 .8 0l8.3 4.2L12 10.7 3.3 6.3z"/></svg>)"},
    {"briefcase",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M9.5 3h5A1.5 1.5 0 0 1 16 4.5)"
        R"(V6h-2V5h-4v1H8V4.5A1.5 1.5 0 0 1 9.5 3zM4 7h16a2 2 0 0 1 2 2v3.5h-8V11h-4v1.5H2V9)"
        R"(a2 2 0 0 1 2-2zM2 14h8v1.5h4V14h8v5a2 2 0 0 1-2 2H4a2 2 0 0 1-2-2z"/></svg>)"},
    {"code",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M1.5 12L7 6.5L8.34 7.84)"
        R"(L4.19 12L8.34 16.16L7 17.5zM22.5 12L17 6.5L15.66 7.84L19.81 12L15.66 16.16L17 17.5z)"
        R"(M13.6 3.8L15.4 4.3L10.4 20.2L8.6 19.7z"/></svg>)"},
    {"terminal",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path fill-rule="evenodd" d="M4.2 3)"
        R"(H19.8A2.2 2.2 0 0 1 22 5.2V18.8A2.2 2.2 0 0 1 19.8 21H4.2A2.2 2.2 0 0 1 2 18.8V5.2)"
        R"(A2.2 2.2 0 0 1 4.2 3zM5.7 8.2L7.1 6.8L12.3 12L7.1 17.2L5.7 15.8L9.5 12zM13 15.5H18)"
        R"(A.5 .5 0 0 1 18.5 16V16.9A.5 .5 0 0 1 18 17.4H13A.5 .5 0 0 1 12.5 16.9V16)"
        R"(A.5 .5 0 0 1 13 15.5z"/></svg>)"},
    {"database",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M12 2.2c4.4 0 8 1.3 8 3)"
        R"(s-3.6 3-8 3-8-1.3-8-3 3.6-3 8-3zM4 7.2A8 3 0 0 0 20 7.2V11.2A8 3 0 0 1 4 11.2zM4 13)"
        R"(A8 3 0 0 0 20 13V17A8 3 0 0 1 4 17z"/></svg>)"},
    {"globe",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M12 2A10 10 0 1 1 12 22)"
        R"(A10 10 0 1 1 12 2zM12 3.7A8.3 8.3 0 1 0 12 20.3A8.3 8.3 0 1 0 12 3.7zM12 2)"
        R"(A5 10 0 0 1 12 22A5 10 0 0 1 12 2zM12 3.7A3.3 8.3 0 0 0 12 20.3A3.3 8.3 0 0 0 12 3.7)"
        R"(zM2.5 11.15h19v1.7h-19zM4.3 6.6h15.4v1.6h-15.4zM4.3 15.8h15.4v1.6h-15.4z"/></svg>)"},
    {"mail",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path fill-rule="evenodd" d="M4.2 4.5)"
        R"(H19.8A2.2 2.2 0 0 1 22 6.7V17.3A2.2 2.2 0 0 1 19.8 19.5H4.2A2.2 2.2 0 0 1 2 17.3V6.7)"
        R"(A2.2 2.2 0 0 1 4.2 4.5zM4.6 7.4L12 12.2L19.4 7.4L20.4 8.9L12 14.3L3.6 8.9z"/></svg>)"},
    {"file-text",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path fill-rule="evenodd" d="M6 2h7v5)"
        R"(a2 2 0 0 0 2 2h5v11a2 2 0 0 1-2 2H6a2 2 0 0 1-2-2V4a2 2 0 0 1 2-2zM14.5 2.3l5.2 5.2)"
        R"(H15a.5.5 0 0 1-.5-.5zM8 12H16A.5 .5 0 0 1 16.5 12.5V13.2A.5 .5 0 0 1 16 13.7H8)"
        R"(A.5 .5 0 0 1 7.5 13.2V12.5A.5 .5 0 0 1 8 12zM8 15.6H16A.5 .5 0 0 1 16.5 16.1V16.8)"
        R"(A.5 .5 0 0 1 16 17.3H8A.5 .5 0 0 1 7.5 16.8V16.1A.5 .5 0 0 1 8 15.6zM8 8.4H11)"
        R"(A.5 .5 0 0 1 11.5 8.9V9.6A.5 .5 0 0 1 11 10.1H8A.5 .5 0 0 1 7.5 9.6V8.9)"
        R"(A.5 .5 0 0 1 8 8.4z"/></svg>)"},
    {"home",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M11.3 2.6a1 1 0 0 1 1.4 0)"
        R"(l9.1 8.3c.4.3.1.9-.3.9H19.5V20a1 1 0 0 1-1 1H14.5v-5.5a1 1 0 0 0-1-1h-3)"
        R"(a1 1 0 0 0-1 1V21H5.5a1 1 0 0 1-1-1v-8.2H2.5c-.5 0-.7-.6-.3-.9z"/></svg>)"},
    {"music",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M9.31 16.91)"
        R"(A3.2 2.5 -20 1 1 3.29 19.09A3.2 2.5 -20 1 1 9.31 16.91zM20.31 14.41)"
        R"(A3.2 2.5 -20 1 1 14.29 16.59A3.2 2.5 -20 1 1 20.31 14.41zM7.8 5.6L21 2.6V15.5h-2V7.3)"
        R"(l-9.2 2.1V18h-2z"/></svg>)"},
    {"camera",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><circle cx="12" cy="13" r="3.2"/><pat)"
        R"(h fill-rule="evenodd" d="M9.2 3h5.6c.6 0 1.1.3 1.4.8L17.3 6H20a2 2 0 0 1 2 2v11)"
        R"(a2 2 0 0 1-2 2H4a2 2 0 0 1-2-2V8a2 2 0 0 1 2-2h2.7l1.1-2.2c.3-.5.8-.8 1.4-.8zM12 8)"
        R"(A5 5 0 1 1 12 18A5 5 0 1 1 12 8z"/></svg>)"},
    {"coffee",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M3.5 9h13v5.5a5 5 0 0 1-5 5h-3)"
        R"(a5 5 0 0 1-5-5zM16.5 10h1.7a3.3 3.3 0 0 1 0 6.6h-1.9l.6-1.9h1.3a1.4 1.4 0 0 0 0-2.8)"
        R"(h-1.7zM3.35 20.3H16.65A.85 .85 0 0 1 17.5 21.15V21.15A.85 .85 0 0 1 16.65 22H3.35)"
        R"(A.85 .85 0 0 1 2.5 21.15V21.15A.85 .85 0 0 1 3.35 20.3z"/><path d="M7.2 2.5H7.2)"
        R"(A.9 .9 0 0 1 8.1 3.4V6.4A.9 .9 0 0 1 7.2 7.3H7.2A.9 .9 0 0 1 6.3 6.4V3.4)"
        R"(A.9 .9 0 0 1 7.2 2.5zM10.5 2H10.5A.9 .9 0 0 1 11.4 2.9V6.4A.9 .9 0 0 1 10.5 7.3H10.5)"
        R"(A.9 .9 0 0 1 9.6 6.4V2.9A.9 .9 0 0 1 10.5 2zM13.8 2.5H13.8A.9 .9 0 0 1 14.7 3.4V6.4)"
        R"(A.9 .9 0 0 1 13.8 7.3H13.8A.9 .9 0 0 1 12.9 6.4V3.4A.9 .9 0 0 1 13.8 2.5z"/></svg>)"},
    {"book",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M2 5.2)"
        R"(c0-.5.3-.9.8-1 3-.9 6-.6 8.4 1.1V21c-2.5-1.5-5.5-1.8-8.3-1a.7.7 0 0 1-.9-.7zM22 5.2)"
        R"(c0-.5-.3-.9-.8-1-3-.9-6-.6-8.4 1.1V21c2.5-1.5 5.5-1.8 8.3-1a.7.7 0 0 0 .9-.7z"/></s)"
        R"(vg>)"},
    {"gift",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M3 7.5h8V11H2V8.5)"
        R"(a1 1 0 0 1 1-1zM13 7.5h8a1 1 0 0 1 1 1V11h-9zM3.5 12.5H11V21H4.5a1 1 0 0 1-1-1z)"
        R"(M13 12.5h7.5V20a1 1 0 0 1-1 1H13zM11.4 6.6)"
        R"(C9.7 6.7 7.3 6.5 6.5 5.4 5.9 4.5 6.4 3.1 7.6 2.9c1.6-.3 3.2 1.5 3.8 3.7zM12.6 6.6)"
        R"(c1.7.1 4.1-.1 4.9-1.2.6-.9.1-2.3-1.1-2.5-1.6-.3-3.2 1.5-3.8 3.7z"/></svg>)"},
    {"shopping-bag",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M6.1 7h11.8c.5 0 .9.4 1 .9)"
        R"(l1.2 12a1.5 1.5 0 0 1-1.5 1.6H5.4a1.5 1.5 0 0 1-1.5-1.6l1.2-12c.1-.5.5-.9 1-.9z)"
        R"(M8 8.5V6.5a4 4 0 0 1 8 0v2h-1.8v-2a2.2 2.2 0 0 0-4.4 0v2z"/></svg>)"},
    {"zap",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M13.4 2.2L4.3 13.1)"
        R"(c-.3.4 0 .9.4.9h6.3l-1.4 7.5c-.1.5.5.8.9.4l9.1-10.9c.3-.4 0-.9-.4-.9h-6.3l1.4-7.5)"
        R"(c.1-.5-.5-.8-.9-.4z"/></svg>)"},
    {"layers",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M11.5 2.2a1 1 0 0 1 1 0)"
        R"(l8.8 4.9c.4.2.4.7 0 .9l-8.8 4.9a1 1 0 0 1-1 0L2.7 8c-.4-.2-.4-.7 0-.9zM2.7 12.1)"
        R"(l1.8-1 7.5 4.2 7.5-4.2 1.8 1c.4.2.4.7 0 .9l-8.8 4.9a1 1 0 0 1-1 0L2.7 13)"
        R"(c-.4-.2-.4-.7 0-.9zM2.7 16.6l1.8-1 7.5 4.2 7.5-4.2 1.8 1c.4.2.4.7 0 .9l-8.8 4.9)"
        R"(a1 1 0 0 1-1 0L2.7 17.5c-.4-.2-.4-.7 0-.9z"/></svg>)"},
    {"lock",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path fill-rule="evenodd" d="M7 10V7.5)"
        R"(a5 5 0 0 1 10 0V10h-2V7.5a3 3 0 0 0-6 0V10zM6.2 10H17.8A2.2 2.2 0 0 1 20 12.2V19.8)"
        R"(A2.2 2.2 0 0 1 17.8 22H6.2A2.2 2.2 0 0 1 4 19.8V12.2A2.2 2.2 0 0 1 6.2 10zM12 13.3)"
        R"(a1.8 1.8 0 0 1 1 3.3V19h-2v-2.4a1.8 1.8 0 0 1 1-3.3z"/></svg>)"},
    {"shield",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M11.6 2.1a1 1 0 0 1 .8 0l7.5 3)"
        R"(c.4.2.6.5.6.9V11c0 5.2-3.4 9.6-8.2 11a1 1 0 0 1-.6 0C6.9 20.6 3.5 16.2 3.5 11V6)"
        R"(c0-.4.2-.7.6-.9z"/></svg>)"},
    {"settings",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M9.15 4.95L10.03 1.89)"
        R"(L13.97 1.89L14.85 4.95L14.97 5L17.76 3.46L20.54 6.24L19 9.03L19.05 9.15L22.11 10.03)"
        R"(L22.11 13.97L19.05 14.85L19 14.97L20.54 17.76L17.76 20.54L14.97 19L14.85 19.05)"
        R"(L13.97 22.11L10.03 22.11L9.15 19.05L9.03 19L6.24 20.54L3.46 17.76L5 14.97L4.95 14.85)"
        R"(L1.89 13.97L1.89 10.03L4.95 9.15L5 9.03L3.46 6.24L6.24 3.46L9.03 5zM12 8.7)"
        R"(A3.3 3.3 0 1 0 12 15.3A3.3 3.3 0 1 0 12 8.7z"/></svg>)"},
    {"bell",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M12 2a1.5 1.5 0 0 1 1.5 1.5v.6)"
        R"(c2.9.7 5 3.3 5 6.4v4.7l1.8 2.3c.4.5 0 1.2-.6 1.2H4.3c-.6 0-1-.7-.6-1.2l1.8-2.3v-4.7)"
        R"(c0-3.1 2.1-5.7 5-6.4v-.6A1.5 1.5 0 0 1 12 2zM9.5 20h5a2.5 2.5 0 0 1-5 0z"/></svg>)"},
    {"clock",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path fill-rule="evenodd" d="M12 2)"
        R"(A10 10 0 1 1 12 22A10 10 0 1 1 12 2zM11 6.2a1 1 0 0 1 2 0v5.3l3.4 2a1 1 0 0 1-1 1.7)"
        R"(l-3.9-2.3a1 1 0 0 1-.5-.9z"/></svg>)"},
    {"search",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M10 2.5A7.5 7.5 0 1 1 10 17.5)"
        R"(A7.5 7.5 0 1 1 10 2.5zM10 4.7A5.3 5.3 0 1 0 10 15.3A5.3 5.3 0 1 0 10 4.7zM14.6 16.4)"
        R"(l1.8-1.8 5.2 5.2a1.27 1.27 0 0 1-1.8 1.8z"/></svg>)"},
    {"image",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M4.2 3H19.8)"
        R"(A2.2 2.2 0 0 1 22 5.2V18.8A2.2 2.2 0 0 1 19.8 21H4.2A2.2 2.2 0 0 1 2 18.8V5.2)"
        R"(A2.2 2.2 0 0 1 4.2 3zM4.8 5A.8 .8 0 0 0 4 5.8V18.2A.8 .8 0 0 0 4.8 19H19.2)"
        R"(A.8 .8 0 0 0 20 18.2V5.8A.8 .8 0 0 0 19.2 5zM5.5 17.5l4-5.3c.4-.5 1.1-.5 1.5 0)"
        R"(l2.6 3.3 1.7-2.1c.4-.5 1.1-.5 1.5 0l2.7 4.1zM15.3 6.9A1.8 1.8 0 1 1 15.3 10.5)"
        R"(A1.8 1.8 0 1 1 15.3 6.9z"/></svg>)"},
    {"palette",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path fill-rule="evenodd" d="M12 2)"
        R"(C6.5 2 2 6.3 2 11.6)"
        R"(c0 3.4 2 6.1 4.8 6.1 1.6 0 2.5-.9 3.6-.9 1.4 0 1.6 1.3 1.6 2.6 0 1.5.9 2.6 2.6 2.6)"
        R"(C19 22 22 17.3 22 12 22 6.5 17.5 2 12 2zM6.8 9.4A1.6 1.6 0 1 0 6.8 12.6)"
        R"(A1.6 1.6 0 1 0 6.8 9.4zM9.3 5.1A1.6 1.6 0 1 0 9.3 8.3A1.6 1.6 0 1 0 9.3 5.1z)"
        R"(M14.4 4.7A1.6 1.6 0 1 0 14.4 7.9A1.6 1.6 0 1 0 14.4 4.7zM17.8 8.6)"
        R"(A1.6 1.6 0 1 0 17.8 11.8A1.6 1.6 0 1 0 17.8 8.6zM16.5 13.5A2.1 2.1 0 1 0 16.5 17.7)"
        R"(A2.1 2.1 0 1 0 16.5 13.5z"/></svg>)"},
    {"pin",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M12 2a7.5 7.5 0 0 1 7.5 7.5)"
        R"(c0 5.2-5.6 10.9-6.8 12.1a1 1 0 0 1-1.4 0C10.1 20.4 4.5 14.7 4.5 9.5)"
        R"(A7.5 7.5 0 0 1 12 2zM12 6.8A2.7 2.7 0 1 0 12 12.2A2.7 2.7 0 1 0 12 6.8z"/></svg>)"},
    {"dollar",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M12 13.25)"
        R"(A4.65 4.65 0 1 1 16.37 10.19A1.05 1.05 0 0 1 14.4 9.47A2.55 2.55 0 1 0 12 11.15)"
        R"(A1.05 1.05 0 0 1 12 13.25zM12 10.95A4.65 4.65 0 1 1 7.63 17.19)"
        R"(A1.05 1.05 0 0 1 9.6 16.47A2.55 2.55 0 1 0 12 13.05A1.05 1.05 0 0 1 12 10.95zM12 2)"
        R"(H12A1 1 0 0 1 13 3V4.6A1 1 0 0 1 12 5.6H12A1 1 0 0 1 11 4.6V3A1 1 0 0 1 12 2z)"
        R"(M12 18.4H12A1 1 0 0 1 13 19.4V21A1 1 0 0 1 12 22H12A1 1 0 0 1 11 21V19.4)"
        R"(A1 1 0 0 1 12 18.4z"/></svg>)"},
    {"users",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M9 3.9A3.6 3.6 0 1 1 9 11.1)"
        R"(A3.6 3.6 0 1 1 9 3.9zM2 19.3C2 15.9 5.1 13.5 9 13.5s7 2.4 7 5.8v.7a1 1 0 0 1-1 1H3)"
        R"(a1 1 0 0 1-1-1zM16.8 4.2A3 3 0 1 1 16.8 10.2A3 3 0 1 1 16.8 4.2zM17.2 13.3)"
        R"(c2.8.2 4.8 2.3 4.8 5.3v1.4a1 1 0 0 1-1 1h-3.3c.1-.3.1-.6.1-1v-.7)"
        R"(c0-2.4-.9-4.6-2.6-6 .6-.1 1.3-.1 2-.1z"/></svg>)"},
    {"chart",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M4.1 12H6.3)"
        R"(A1.1 1.1 0 0 1 7.4 13.1V19.9A1.1 1.1 0 0 1 6.3 21H4.1A1.1 1.1 0 0 1 3 19.9V13.1)"
        R"(A1.1 1.1 0 0 1 4.1 12zM10.9 7H13.1A1.1 1.1 0 0 1 14.2 8.1V19.9A1.1 1.1 0 0 1 13.1 21)"
        R"(H10.9A1.1 1.1 0 0 1 9.8 19.9V8.1A1.1 1.1 0 0 1 10.9 7zM17.7 3H19.9)"
        R"(A1.1 1.1 0 0 1 21 4.1V19.9A1.1 1.1 0 0 1 19.9 21H17.7A1.1 1.1 0 0 1 16.6 19.9V4.1)"
        R"(A1.1 1.1 0 0 1 17.7 3z"/></svg>)"},
    {"link",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M3.23 15.54L6.48 12.28)"
        R"(A3.7 3.7 0 0 1 11.72 17.52L8.46 20.77A3.7 3.7 0 0 1 3.23 15.54zM4.58 16.88)"
        R"(A1.8 1.8 0 0 0 7.12 19.42L10.37 16.17A1.8 1.8 0 0 0 7.83 13.63zM12.28 6.48)"
        R"(L15.54 3.23A3.7 3.7 0 0 1 20.77 8.46L17.52 11.72A3.7 3.7 0 0 1 12.28 6.48z)"
        R"(M13.63 7.83A1.8 1.8 0 0 0 16.17 10.37L19.42 7.12A1.8 1.8 0 0 0 16.88 4.58z)"
        R"(M8.78 13.87L13.87 8.78L15.22 10.13L10.13 15.22z"/></svg>)"},
    {"upload",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M12 2.6)"
        R"(l5.6 5.6-1.5 1.5-3.05-3.05V16h-2.1V6.65L7.9 9.7 6.4 8.2zM3 15h2.1v4.1c0 .5.4.9.9.9)"
        R"(h12c.5 0 .9-.4.9-.9V15H21v4.4a2.6 2.6 0 0 1-2.6 2.6H5.6A2.6 2.6 0 0 1 3 19.4z"/></s)"
        R"(vg>)"},
    {"download",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M12 16.4)"
        R"(l5.6-5.6-1.5-1.5-3.05 3.05V3h-2.1v9.35L7.9 9.3 6.4 10.8zM3 15h2.1v4.1c0 .5.4.9.9.9)"
        R"(h12c.5 0 .9-.4.9-.9V15H21v4.4a2.6 2.6 0 0 1-2.6 2.6H5.6A2.6 2.6 0 0 1 3 19.4z"/></s)"
        R"(vg>)"},
    {"trophy",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M7 2.5h10a1 1 0 0 1 1 1v5.3)"
        R"(a6 6 0 0 1-12 0V3.5a1 1 0 0 1 1-1zM5 4.5v2H4v1.3c0 1.5 1 2.7 2.4 3.1l.7 1.8)"
        R"(A5.2 5.2 0 0 1 2 7.8V5.5a1 1 0 0 1 1-1zM19 4.5v2h1v1.3c0 1.5-1 2.7-2.4 3.1l-.7 1.8)"
        R"(A5.2 5.2 0 0 0 22 7.8V5.5a1 1 0 0 0-1-1zM10.8 14.6h2.4v3.4h-2.4zM7.5 18.3H16.5)"
        R"(A1 1 0 0 1 17.5 19.3V20.5A1 1 0 0 1 16.5 21.5H7.5A1 1 0 0 1 6.5 20.5V19.3)"
        R"(A1 1 0 0 1 7.5 18.3z"/></svg>)"},
    {"fire",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path fill-rule="evenodd" d="M12.8 2.2)"
        R"(c.1 2.6 1.4 4.3 3 6 1.1-1 1.7-2.2 1.9-3.5 2.4 2 3.8 5.1 3.8 8.4 0 4.9-3.8 8.9-9.5)"
        R"( 8.9S2.5 18 2.5 13.1c0-3.9 2.3-6.2 4.6-8.2.1 1.7.7 3 1.7 4 .8-3.1 1.8-5.3 4-6.7z)"
        R"(M12 20.2)"
        R"(c2.2 0 3.7-1.4 3.7-3.4 0-1.9-1.2-3.3-2.6-4.8-.3 1.5-1.1 2.4-2.1 3.1-1.2.8-2.2)"
        R"( 1.6-2.2 2.7 0 1.4 1.4 2.4 3.2 2.4z"/></svg>)"},
    {"cloud",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M7 10.5A4.5 4.5 0 1 1 7 19.5)"
        R"(A4.5 4.5 0 1 1 7 10.5zM12.3 4.6A6 6 0 1 1 12.3 16.6A6 6 0 1 1 12.3 4.6zM17.5 9.5)"
        R"(A5 5 0 1 1 17.5 19.5A5 5 0 1 1 17.5 9.5zM7 14.5h10.5v5h-10.5z"/></svg>)"},
    {"airplane",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M12 1.8c.9 0 1.6 1 1.6 2.3v5.1)"
        R"(l7.8 4.6c.4.2.6.6.6 1v1.3l-8.4-2.6v4.6l2.3 1.7c.2.2.3.4.3.6v1.2L12 20.6l-4.2 1v-1.2)"
        R"(c0-.2.1-.4.3-.6l2.3-1.7v-4.6L2 16.1v-1.3c0-.4.2-.8.6-1l7.8-4.6V4.1)"
        R"(c0-1.3.7-2.3 1.6-2.3z"/></svg>)"},
    {"diamond",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M7 3.2h10c.4 0 .7.2.9.5l3 4.3)"
        R"(H3.1l3-4.3c.2-.3.5-.5.9-.5zM2.8 9.7h18.4L12.8 20.6a1 1 0 0 1-1.6 0z"/></svg>)"},
    {"compass",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M12 2A10 10 0 1 1 12 22)"
        R"(A10 10 0 1 1 12 2zM12 3.8A8.2 8.2 0 1 0 12 20.2A8.2 8.2 0 1 0 12 3.8zM16.9 7.1)"
        R"(L13.7 13.7L7.1 16.9L10.3 10.3z"/></svg>)"},
    {"puzzle",
        R"(<svg viewBox="0 0 24 24" fill="currentColor"><path d="M4 6.5h4.1)"
        R"(a2.45 2.45 0 1 1 4.8 0h4.1a1 1 0 0 1 1 1v4.1a2.45 2.45 0 1 1 0 4.8v3.1a1 1 0 0 1-1 1)"
        R"(h-4.1a2.45 2.45 0 1 0-4.8 0H4a1 1 0 0 1-1-1v-3.1a2.45 2.45 0 1 0 0-4.8V7.5)"
        R"(a1 1 0 0 1 1-1z"/></svg>)"},
};

RenderedIconCache& renderedIcons()
{
    static RenderedIconCache cache(&SvgIconRenderer::render);
    return cache;
}

} // namespace

QString FolderIconCatalog::spokenName(const QString& key)
{
    QStringList words = key.split(u'-', Qt::SkipEmptyParts);
    for (QString& word : words)
        word[0] = word[0].toUpper();
    return words.join(u' ');
}

const QStringList& FolderIconCatalog::orderedKeys()
{
    static const QStringList keys = [] {
        QStringList list;
        for (const BuiltInIcon& icon : builtInIcons)
            list.append(QLatin1String(icon.key));
        return list;
    }();
    return keys;
}

const QHash<QString, QString>& FolderIconCatalog::icons()
{
    static const QHash<QString, QString> table = [] {
        QHash<QString, QString> map;
        for (const BuiltInIcon& icon : builtInIcons)
            map.insert(QLatin1String(icon.key), QLatin1String(icon.svg));
        return map;
    }();
    return table;
}

const QString& FolderIconCatalog::defaultSVG()
{
    static const QString svg = icons().value(QStringLiteral("folder"));
    return svg;
}

std::optional<QString> FolderIconCatalog::resolvedSVG(
    const std::optional<QString>& icon, const QList<CustomIcon>& customIcons)
{
    if (!icon || icon->isEmpty())
        return defaultSVG();
    const auto builtIn = icons().constFind(*icon);
    if (builtIn != icons().constEnd())
        return *builtIn;
    if (icon->startsWith(customPrefix)) {
        const QStringView id = QStringView(*icon).mid(customPrefix.size());
        for (const CustomIcon& custom : customIcons) {
            if (custom.id == id)
                return custom.svg;
        }
    }
    return std::nullopt;
}

std::optional<QString> FolderIconCatalog::textFallback(const std::optional<QString>& icon)
{
    if (!icon || icon->isEmpty() || icons().contains(*icon) || icon->startsWith(customPrefix))
        return std::nullopt;
    return icon;
}

QImage FolderIconCatalog::image(const QString& svg)
{
    // Refused before the cache so that an oversized text is not kept alive as a key.
    if (!SvgIconRenderer::isWithinSizeLimit(svg))
        return {};
    return renderedIcons().image(svg);
}

QImage FolderIconCatalog::tinted(const QImage& mask, const QColor& color)
{
    if (mask.isNull())
        return {};
    QImage image(mask.size(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(mask.devicePixelRatio());
    image.fill(color);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    painter.drawImage(0, 0, mask);
    return image;
}
