// Types 100 triggers into another application's line edit, each time with text on the
// clipboard, and measures from the trigger's last key (posted with XTest) to the moment the
// field's text first holds the expansion, as the field application itself observed it on the
// system-wide steady clock. Prints the median and the 95th percentile, the AT-SPI requests and
// this process's CPU time per expansion and per ordinary key (in a short field and at the end of
// a long document). Timings are reported, not judged, as they depend on the machine's load; it
// fails only when an expansion does not arrive.
#include "DesktopSession.h"
#include "Engine/TextExpansionEngine.h"
#include "Models/Shortcut.h"
#include "TextFieldsApp.h"
#include "platform/AccessibilityTrust.h"
#include "platform/linux/AtspiRequestCounter.h"
#include "platform/linux/LinuxDesktop.h"

#include <QApplication>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <dbus/dbus.h>
#include <dlfcn.h>
#include <sys/resource.h>

namespace {
// Every request sent on D-Bus by libatspi, whichever call made it: the engine's own count
// misses those the library makes inside other calls.
std::atomic<quint64> busRequests = 0;

template <typename Function> Function real(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

thread_local bool insideBlockingCall = false;

void countCall(DBusMessage* message)
{
    if (!insideBlockingCall && dbus_message_get_type(message) == DBUS_MESSAGE_TYPE_METHOD_CALL)
        ++busRequests;
}
} // namespace

// This program's definitions come before libdbus's for the libraries it loads (Qt reaches
// libdbus through dlopen and is not counted).
extern "C" dbus_bool_t dbus_connection_send_with_reply(
    DBusConnection* connection, DBusMessage* message, DBusPendingCall** pending, int timeout)
{
    static const auto send = real<dbus_bool_t (*)(DBusConnection*, DBusMessage*, DBusPendingCall**, int)>(
        "dbus_connection_send_with_reply");
    countCall(message);
    return send(connection, message, pending, timeout);
}

extern "C" DBusMessage* dbus_connection_send_with_reply_and_block(
    DBusConnection* connection, DBusMessage* message, int timeout, DBusError* error)
{
    static const auto send = real<DBusMessage* (*)(DBusConnection*, DBusMessage*, int, DBusError*)>(
        "dbus_connection_send_with_reply_and_block");
    // libdbus may make a dbus_connection_send_with_reply of it, which then counts nothing.
    countCall(message);
    insideBlockingCall = true;
    DBusMessage* reply = send(connection, message, timeout, error);
    insideBlockingCall = false;
    return reply;
}

namespace {

constexpr int rounds = 100;
constexpr int skipped = 77;
constexpr qsizetype longDocument = 200'000;

const QString trigger = QStringLiteral("/sig");
const QString expansion = QStringLiteral("Best regards, Anna");
// Typing that never begins the trigger.
const QString ordinaryText = QStringLiteral("the quick brown fox jumps over the lazy dog ");

double cpuMilliseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto milliseconds = [](const timeval& time) { return double(time.tv_sec) * 1e3 + double(time.tv_usec) / 1e3; };
    return milliseconds(usage.ru_utime) + milliseconds(usage.ru_stime);
}

// What one step of typing cost: AT-SPI requests and this process's CPU time.
struct Cost {
    quint64 requests = AtspiRequestCounter::count();
    quint64 sent = busRequests;
    double cpu = cpuMilliseconds();

    void print(const char* what, int steps) const
    {
        std::printf("  %s: %.1f AT-SPI requests sent (%.1f counted by the engine), %.2f ms CPU each (over %d)\n", what,
            double(busRequests - sent) / steps, double(AtspiRequestCounter::count() - requests) / steps,
            (cpuMilliseconds() - cpu) / steps, steps);
    }
};

// AT-SPI requests sent from a trigger's final key until the expansion was reported, over all
// triggers.
quint64 requestsAfterFinalKey = 0;

// Types text that never begins a trigger at the caret of the field; false when it did not arrive.
bool typeOrdinaryText(TextFieldsApp& field, const QString& name, const QString& before)
{
    DesktopSession::xdotool({"type", "--delay", "15", ordinaryText});
    // One look at a long text costs more than a key; give the field time to catch up first.
    DesktopSession::pause(300);
    return DesktopSession::waitFor([&] { return field.text(name) == before + ordinaryText; }, 5000);
}

qint64 steadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double percentile(QList<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const qsizetype index = std::min(values.size() - 1, qsizetype(fraction * double(values.size() - 1) + 0.5));
    return values.at(index);
}

// The latency of one trigger in milliseconds, or a negative value when it did not expand.
double measureOnce(TextFieldsApp& field, Display* display, unsigned lastKey, const int& expansions)
{
    const int before = expansions;
    field.setText(QStringLiteral("line"), QString());
    field.command(QStringLiteral("watch ") + QString::fromLatin1(expansion.toUtf8().toBase64()));
    DesktopSession::xdotool({"type", "--delay", "30", trigger.chopped(1)});
    DesktopSession::pause(30);

    const quint64 requestsBefore = busRequests;
    const qint64 sent = steadyNanoseconds();
    XTestFakeKeyEvent(display, lastKey, True, CurrentTime);
    XTestFakeKeyEvent(display, lastKey, False, CurrentTime);
    XFlush(display);

    qint64 arrived = -1;
    DesktopSession::waitFor(
        [&] {
            arrived = qint64(field.command(QStringLiteral("arrival")).value(QStringLiteral("nanoseconds")).toDouble());
            return arrived >= 0;
        },
        2000);
    // The replacement ends after the clipboard is back; the next trigger waits for that.
    DesktopSession::waitFor([&] { return expansions > before; }, 2000);
    requestsAfterFinalKey += busRequests - requestsBefore;
    return arrived < 0 ? -1 : double(arrived - sent) / 1e6;
}

}

int main(int argc, char** argv)
{
    if (QString missing = DesktopSession::missingDisplay(); !missing.isEmpty()) {
        std::printf("expansion latency: skipped, %s\n", qPrintable(missing));
        return skipped;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    if (QString missing = DesktopSession::missingPieces(); !missing.isEmpty()) {
        std::printf("expansion latency: skipped, %s\n", qPrintable(missing));
        return skipped;
    }

    LinuxDesktop desktop;
    if (!desktop.desktop().trust->isProcessTrusted()) {
        std::printf("expansion latency: %s\n", qPrintable(desktop.desktop().trust->untrustedReason()));
        return 1;
    }
    Shortcut shortcut;
    shortcut.id = QStringLiteral("latency");
    shortcut.trigger = trigger;
    shortcut.expansion = expansion;
    int expansions = 0;
    TextExpansionEngine engine(desktop.desktop());
    engine.start({shortcut}, [&](const QString&, const QString&) { ++expansions; });

    TextFieldsApp field;
    Display* display = XOpenDisplay(nullptr);
    if (!engine.isRunning() || !display || !field.start()
        || !field.setClipboard({{"text/plain;charset=utf-8", "on the clipboard"}})
        || !field.focus(QStringLiteral("line"))) {
        std::printf("expansion latency: the desktop, the engine or the field application did not start\n");
        return 1;
    }
    const unsigned lastKey = XKeysymToKeycode(display, XK_g);
    DesktopSession::pause(200);

    std::printf("expansion latency and cost (requests to the field application, CPU time of this process, which "
                "holds the engine):\n");
    // The same typing with the engine stopped shows the share of this program's own waiting.
    engine.stop();
    const Cost harness;
    if (!field.setText(QStringLiteral("line"), QString())
        || !typeOrdinaryText(field, QStringLiteral("line"), QString())) {
        std::printf("expansion latency: ordinary typing did not arrive\n");
        return 1;
    }
    harness.print("ordinary key in a line edit, the engine stopped", int(ordinaryText.size()));
    engine.start({shortcut}, [&](const QString&, const QString&) { ++expansions; });

    const Cost ordinary;
    if (!field.setText(QStringLiteral("line"), QString())
        || !typeOrdinaryText(field, QStringLiteral("line"), QString())) {
        std::printf("expansion latency: ordinary typing did not arrive\n");
        return 1;
    }
    ordinary.print("ordinary key in a line edit", int(ordinaryText.size()));

    QString document;
    while (document.size() < longDocument)
        document += QStringLiteral("Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor.\n");
    if (!field.setText(QStringLiteral("area"), document) || !field.focus(QStringLiteral("area"))
        || !field.setCursor(QStringLiteral("area"), int(document.size()))) {
        std::printf("expansion latency: the long document could not be set up\n");
        return 1;
    }
    DesktopSession::pause(100);
    const Cost inDocument;
    if (!typeOrdinaryText(field, QStringLiteral("area"), document)) {
        std::printf("expansion latency: typing into the long document did not arrive\n");
        return 1;
    }
    inDocument.print("ordinary key at the end of a 200,000-character document", int(ordinaryText.size()));
    field.setText(QStringLiteral("area"), QString());
    field.focus(QStringLiteral("line"));
    DesktopSession::pause(100);

    const Cost triggers;
    QList<double> latencies;
    int missed = 0;
    for (int round = 0; round < rounds; ++round) {
        const double latency = measureOnce(field, display, lastKey, expansions);
        if (latency < 0)
            ++missed;
        else
            latencies.append(latency);
    }
    if (expansions > 0) {
        triggers.print("expansion, with its trigger's four keys", expansions);
        std::printf("  AT-SPI requests sent after the final key, until the expansion was reported: %.1f each\n",
            double(requestsAfterFinalKey) / expansions);
    }
    XCloseDisplay(display);
    engine.stop();

    if (latencies.isEmpty()) {
        std::printf("expansion latency: none of %d triggers expanded\n", rounds);
        return 1;
    }
    const double median = percentile(latencies, 0.5);
    const double p95 = percentile(latencies, 0.95);
    std::printf("  latency over %lld of %d triggers: median %.1f ms, 95th percentile %.1f ms, fastest %.1f ms, "
                "slowest %.1f ms; %d did not expand\n",
        qlonglong(latencies.size()), rounds, median, p95, percentile(latencies, 0), percentile(latencies, 1), missed);
    return missed == 0 ? 0 : 1;
}
