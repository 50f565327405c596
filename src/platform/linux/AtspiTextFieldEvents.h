#pragma once

#include "platform/TextFieldEvents.h"

#include <QHash>

typedef struct _AtspiAccessible AtspiAccessible;
typedef struct _AtspiEvent AtspiEvent;
typedef struct _AtspiEventListener AtspiEventListener;

// Text field events from the accessibility bus: what every application reports when one of
// its fields gets or loses the focus, gains or loses text, or moves its caret. They arrive
// through the GLib main context that Qt's event loop runs. This process's own fields are left
// out.
class AtspiTextFieldEvents : public TextFieldEvents {
public:
    AtspiTextFieldEvents();
    ~AtspiTextFieldEvents() override;
    AtspiTextFieldEvents(const AtspiTextFieldEvents&) = delete;
    AtspiTextFieldEvents& operator=(const AtspiTextFieldEvents&) = delete;

    bool install(Handler handler) override;
    void remove() override;
    bool isInstalled() const override { return m_listener != nullptr; }

private:
    static void receive(AtspiEvent* event, void* self);
    void deliver(AtspiEvent* event);
    bool isOwn(AtspiAccessible* accessible);

    Handler m_handler;
    AtspiEventListener* m_listener = nullptr;
    // Per application bus name: whether it is this process.
    QHash<QString, bool> m_own;
};
