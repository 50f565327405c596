#pragma once

#include "platform/Desktop.h"

#include <QString>
#include <memory>

class AtspiAccessibility;
class LinuxAccessibilityTrust;
class PostedKeyLedger;
class QtClipboardPasteboard;
class X11Connection;
class X11EventSource;
class X11KeyboardLayout;
class X11KeyboardPoster;
class X11Workspace;

// The Linux back ends of every desktop service the engine uses, made and wired together once
// the QGuiApplication exists. Without an X display the parts that need one stay unavailable and
// say why; nothing else is refused.
class LinuxDesktop {
public:
    LinuxDesktop();
    ~LinuxDesktop();
    LinuxDesktop(const LinuxDesktop&) = delete;
    LinuxDesktop& operator=(const LinuxDesktop&) = delete;

    Desktop desktop() const;

private:
    std::shared_ptr<X11Connection> connection_;
    std::unique_ptr<X11KeyboardLayout> layout_;
    std::unique_ptr<PostedKeyLedger> ledger_;
    std::unique_ptr<X11EventSource> eventSource_;
    std::unique_ptr<X11KeyboardPoster> keyboard_;
    std::unique_ptr<X11Workspace> workspace_;
    std::unique_ptr<AtspiAccessibility> accessibility_;
    std::unique_ptr<LinuxAccessibilityTrust> trust_;
    std::unique_ptr<QtClipboardPasteboard> pasteboard_;
};
