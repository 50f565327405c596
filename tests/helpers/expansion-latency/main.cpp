// Types 100 triggers into another application's line edit, each time with text on the
// clipboard, and measures from the trigger's last key (posted with XTest) to the moment the
// field's text first holds the expansion, as the field application itself observed it on the
// system-wide steady clock. Prints the median and the 95th percentile; fails when they exceed
// 25 ms and 60 ms or when an expansion does not arrive.
#include "DesktopSession.h"
#include "Engine/TextExpansionEngine.h"
#include "Models/Shortcut.h"
#include "TextFieldsApp.h"
#include "platform/AccessibilityTrust.h"
#include "platform/linux/LinuxDesktop.h"

#include <QApplication>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

constexpr int rounds = 100;
constexpr double medianLimit = 25;
constexpr double percentile95Limit = 60;
constexpr int skipped = 77;

const QString trigger = QStringLiteral("/sig");
const QString expansion = QStringLiteral("Best regards, Anna");

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

    const qint64 sent = steadyNanoseconds();
    XTestFakeKeyEvent(display, lastKey, True, CurrentTime);
    XTestFakeKeyEvent(display, lastKey, False, CurrentTime);
    XFlush(display);

    qint64 arrived = -1;
    DesktopSession::waitFor([&] {
        arrived = qint64(field.command(QStringLiteral("arrival")).value(QStringLiteral("nanoseconds")).toDouble());
        return arrived >= 0;
    },
        2000);
    // The replacement ends after the clipboard is back; the next trigger waits for that.
    DesktopSession::waitFor([&] { return expansions > before; }, 2000);
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
    if (!engine.isRunning() || !display || !field.start() || !field.setClipboard({{"text/plain;charset=utf-8", "on the clipboard"}})
        || !field.focus(QStringLiteral("line"))) {
        std::printf("expansion latency: the desktop, the engine or the field application did not start\n");
        return 1;
    }
    const unsigned lastKey = XKeysymToKeycode(display, XK_g);
    DesktopSession::pause(200);

    QList<double> latencies;
    int missed = 0;
    for (int round = 0; round < rounds; ++round) {
        const double latency = measureOnce(field, display, lastKey, expansions);
        if (latency < 0)
            ++missed;
        else
            latencies.append(latency);
    }
    XCloseDisplay(display);
    engine.stop();

    if (latencies.isEmpty()) {
        std::printf("expansion latency: none of %d triggers expanded\n", rounds);
        return 1;
    }
    const double median = percentile(latencies, 0.5);
    const double p95 = percentile(latencies, 0.95);
    std::printf("expansion latency over %lld of %d triggers: median %.1f ms, 95th percentile %.1f ms, "
                "fastest %.1f ms, slowest %.1f ms (limits %.0f ms and %.0f ms); %d did not expand\n",
        qlonglong(latencies.size()), rounds, median, p95, percentile(latencies, 0), percentile(latencies, 1),
        medianLimit, percentile95Limit, missed);
    return median < medianLimit && p95 < percentile95Limit && missed == 0 ? 0 : 1;
}
