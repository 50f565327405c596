#pragma once

#include "platform/TextFieldEvents.h"

#include <QHash>
#include <optional>

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
    // Whether the field reports an insertion at its start less its length and, right after it,
    // the caret as it stood before it (GTK 4 text views before GTK 4.14, which take the
    // insertion's place before the text goes in).
    bool reportsInsertionsBehind(AtspiAccessible* accessible);

    Handler m_handler;
    AtspiEventListener* m_listener = nullptr;
    // Per application bus name: whether it is this process.
    QHash<QString, bool> m_own;
    // The last insertion corrected as above, as the field's bus name and path, its start and
    // length: a caret reported at its start right after it stands at its end.
    struct Insertion {
        QString field;
        qint64 start = 0;
        qint64 length = 0;
    };
    std::optional<Insertion> m_corrected;
};
