#include "LinuxDesktop.h"

#include "AtspiAccessibility.h"
#include "LinuxAccessibilityTrust.h"
#include "PostedKeyLedger.h"
#include "QtClipboardPasteboard.h"
#include "X11Connection.h"
#include "X11EventSource.h"
#include "X11KeyboardLayout.h"
#include "X11KeyboardPoster.h"
#include "X11Workspace.h"

LinuxDesktop::LinuxDesktop()
    : connection_(X11Connection::open())
    , ledger_(std::make_unique<PostedKeyLedger>())
{
    if (connection_) {
        layout_ = std::make_unique<X11KeyboardLayout>(connection_->display());
        QObject::connect(connection_.get(), &X11Connection::keyboardMappingChanged, connection_.get(),
            [layout = layout_.get()] { layout->reload(); });
    }
    keyboard_ = std::make_unique<X11KeyboardPoster>(connection_, layout_.get(), *ledger_);
    eventSource_ = std::make_unique<X11EventSource>(connection_, layout_.get(), *ledger_);
    workspace_ = std::make_unique<X11Workspace>(connection_);
    accessibility_ = std::make_unique<AtspiAccessibility>();
    accessibility_->start();
    trust_ = std::make_unique<LinuxAccessibilityTrust>(connection_);
    pasteboard_ = std::make_unique<QtClipboardPasteboard>();
}

LinuxDesktop::~LinuxDesktop() = default;

Desktop LinuxDesktop::desktop() const
{
    Desktop desktop;
    desktop.eventSource = eventSource_.get();
    desktop.accessibility = accessibility_.get();
    desktop.trust = trust_.get();
    desktop.keyboard = keyboard_.get();
    desktop.pasteboard = pasteboard_.get();
    desktop.workspace = workspace_.get();
    return desktop;
}
