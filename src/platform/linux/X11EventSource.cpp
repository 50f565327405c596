#include "X11EventSource.h"

#include "PostedKeyLedger.h"
#include "X11Connection.h"
#include "X11InputRecorder.h"
#include "X11KeyTranslation.h"
#include "X11KeyboardLayout.h"

#include <X11/X.h>

X11EventSource::X11EventSource(
    std::shared_ptr<X11Connection> connection, const X11KeyboardLayout* layout, PostedKeyLedger& ledger)
    : connection_(std::move(connection))
    , layout_(layout)
    , ledger_(ledger)
{
    if (connection_) {
        recorder_ = std::make_unique<X11InputRecorder>(connection_);
        QObject::connect(recorder_.get(), &X11InputRecorder::recorded, recorder_.get(),
            [this](const X11RecordedEvent& event) { handle(event); });
        QObject::connect(recorder_.get(), &X11InputRecorder::interrupted, recorder_.get(),
            [this] { interrupted(); });
    }
}

X11EventSource::~X11EventSource() = default;

bool X11EventSource::install(quint64 eventMask, Handler handler)
{
    remove();
    if (!connection_ || !layout_) {
        unavailableReason_ = QStringLiteral(
            "No X11 display: watching typed keys needs an X11 session (pure Wayland is not supported).");
        return false;
    }
    if (!connection_->hasExtension("RECORD")) {
        unavailableReason_ = QStringLiteral("The X server offers no RECORD extension, so typed keys cannot be watched.");
        return false;
    }
    if (!recorder_->start()) {
        unavailableReason_ = QStringLiteral("The X server refused to report typed keys (RECORD).");
        return false;
    }
    unavailableReason_.clear();
    mask_ = eventMask;
    handler_ = std::move(handler);
    enabled_ = true;
    return true;
}

void X11EventSource::remove()
{
    if (recorder_)
        recorder_->stop();
    handler_ = nullptr;
    mask_ = 0;
    enabled_ = false;
    keysDown_.clear();
}

bool X11EventSource::isValid() const
{
    return handler_ && recorder_ && recorder_->isRecording();
}

bool X11EventSource::isEnabled() const
{
    return enabled_ && isValid();
}

void X11EventSource::setEnabled(bool enabled)
{
    if (!handler_)
        return;
    if (enabled && !recorder_->isRecording() && !recorder_->start())
        return;
    enabled_ = enabled;
}

QString X11EventSource::unavailableReason() const
{
    return unavailableReason_;
}

void X11EventSource::interrupted()
{
    keysDown_.clear();
    if (!handler_ || !enabled_)
        return;
    enabled_ = false;
    InputEvent notice;
    notice.type = InputEventType::disabledByTimeout;
    handler_(notice);
}

void X11EventSource::deliver(const InputEvent& event)
{
    const auto type = quint32(event.type);
    if (handler_ && enabled_ && type < 64 && (mask_ & (quint64(1) << type)))
        handler_(event);
}

void X11EventSource::handle(const X11RecordedEvent& event)
{
    if (event.kind != X11RecordedEvent::ButtonDown) {
        handleKey(event);
        return;
    }
    InputEvent input;
    input.flags = X11KeyTranslation::eventFlags(event.state, layout_->altMask(), layout_->superMask());
    switch (event.detail) {
    case Button1:
        input.type = InputEventType::leftMouseDown;
        break;
    case Button3:
        input.type = InputEventType::rightMouseDown;
        break;
    case Button4:
    case Button5:
    case 6:
    case 7:
        input.type = InputEventType::scrollWheel;
        break;
    default:
        input.type = InputEventType::otherMouseDown;
    }
    deliver(input);
}

void X11EventSource::handleKey(const X11RecordedEvent& event)
{
    const bool press = event.kind == X11RecordedEvent::KeyDown;
    const unsigned keyCode = event.detail;
    // Every recorded key is matched against the ledger, delivered or not, so that the posted
    // keys are claimed in order.
    const quint64 userData = ledger_.claim(press, keyCode).value_or(0);

    bool repeated = false;
    if (press) {
        // A held key repeats either as more presses while it is down or as a release and a press
        // with one time stamp, depending on the server.
        repeated = keysDown_.contains(keyCode)
            || (lastReleasedKey_ == keyCode && lastReleaseTime_ == event.time);
        keysDown_.insert(keyCode);
    } else {
        keysDown_.remove(keyCode);
        lastReleasedKey_ = keyCode;
        lastReleaseTime_ = event.time;
    }

    InputEvent input;
    input.sourceUserData = userData;
    const unsigned modifierBits = layout_->modifierBits(keyCode);
    if (modifierBits != 0) {
        if (repeated || (!press && layout_->isLockKey(keyCode)))
            return;
        // The recorded state is the one from before the event; a flags change reports the state
        // after it.
        unsigned after = event.state;
        if (layout_->isLockKey(keyCode))
            after ^= modifierBits;
        else if (press)
            after |= modifierBits;
        else
            after &= ~modifierBits;
        input.type = InputEventType::flagsChanged;
        input.flags = X11KeyTranslation::eventFlags(after, layout_->altMask(), layout_->superMask());
        const KeySym symbol = layout_->keySymbol(keyCode, 0);
        input.keyCode = X11KeyTranslation::virtualKeyCode(symbol, keyCode);
        deliver(input);
        return;
    }
    if (!press)
        return;
    const KeySym symbol = layout_->keySymbol(keyCode, event.state);
    input.type = InputEventType::keyDown;
    input.flags = X11KeyTranslation::eventFlags(event.state, layout_->altMask(), layout_->superMask());
    input.keyCode = X11KeyTranslation::virtualKeyCode(symbol, keyCode);
    input.autorepeat = repeated;
    input.characters = layout_->text(keyCode, event.state);
    deliver(input);
}
