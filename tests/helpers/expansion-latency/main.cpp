// Types 100 triggers into another application's line edit, each time with text on the
// clipboard, and measures from the trigger's last key (posted with XTest) to the moment the
// field's text first holds the expansion, as the field application itself observed it on the
// system-wide steady clock. Prints the median and the 95th percentile, the AT-SPI requests and
// this process's CPU time per expansion and per ordinary key (in a short field and at the end of
// a long document). Timings are reported, not judged, as they depend on the machine's load; it
// fails only when an expansion does not arrive.
//   --peer autokey   instead, measures the same trigger side by side with AutoKey (the Debian
//                    package, run as a separate program with a phrase of its own in a temporary
//                    home): the two take turns, a block of expansions each, with the same keys and
//                    the same field. benchmarks/peer-latency.sh installs AutoKey and runs this.
//   --app PATH       with --peer: Velmora's turns are the real program at PATH, started as the
//                    user starts it (its own data folder, a library of the trigger and
//                    --library N generated shortcuts), its CPU time read from /proc like AutoKey's;
//                    each turn also types ordinary text and reports the CPU time per key of the
//                    expander and of the field application
//   --peer-mode M    how AutoKey sends its phrase: kb (typing it, its default) or cb (pasting it)
//   --pairs N        blocks each (default 8)   --expansions N   per block (default 30)
//   --owned-clipboard  another application puts new text on the clipboard before each trial
//   --list-requests  prints every AT-SPI request sent after each trigger's final key
#include "DesktopSession.h"
#include "Engine/TextExpansionEngine.h"
#include "Models/Shortcut.h"
#include "Models/UserData.h"
#include "TextFieldsApp.h"
#include "VelmoraProgram.h"
#include "platform/AccessibilityTrust.h"
#include "platform/linux/AtspiRequestCounter.h"
#include "platform/linux/LinuxDesktop.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <dbus/dbus.h>
#include <dlfcn.h>
#include <memory>
#include <numeric>
#include <sys/resource.h>
#include <unistd.h>

namespace {
// Every request sent on D-Bus by libatspi, whichever call made it: the engine's own count
// misses those the library makes inside other calls.
std::atomic<quint64> busRequests = 0;

template <typename Function> Function real(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

thread_local bool insideBlockingCall = false;

// Set by --list-requests: each request sent after a trigger's final key is printed.
bool listRequests = false;
bool listing = false;
void countCall(DBusMessage* message)
{
    if (!insideBlockingCall && dbus_message_get_type(message) == DBUS_MESSAGE_TYPE_METHOD_CALL) {
        ++busRequests;
        if (listing)
            std::printf("    %s.%s %s\n", dbus_message_get_interface(message), dbus_message_get_member(message),
                dbus_message_get_path(message));
    }
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

// When the last trial's final key was sent (steady clock, nanoseconds).
qint64 lastSent = 0;
// The expander whose turn it is, when it is a program of its own, and the field application:
// how long their main threads waited for a processor during the last trial (ms).
qint64 expanderProcess = 0;
qint64 fieldProcess = 0;
double lastExpanderWait = 0;
double lastFieldWait = 0;

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
// `ended` tells when the expander is done with the trigger, so that the next one starts clean.
double measureOnce(TextFieldsApp& field, Display* display, unsigned lastKey, const std::function<bool()>& ended)
{
    field.setText(QStringLiteral("line"), QString());
    field.command(QStringLiteral("watch ") + QString::fromLatin1(expansion.toUtf8().toBase64()));
    DesktopSession::xdotool({"type", "--delay", "30", trigger.chopped(1)});
    DesktopSession::pause(30);

    const quint64 requestsBefore = busRequests;
    listing = listRequests;
    if (listing)
        std::printf("  requests after the final key:\n");
    const double expanderWaited = expanderProcess ? VelmoraProgram::runQueueMilliseconds(expanderProcess) : 0;
    const double fieldWaited = VelmoraProgram::runQueueMilliseconds(fieldProcess);
    const qint64 sent = steadyNanoseconds();
    lastSent = sent;
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
    lastExpanderWait = expanderProcess ? VelmoraProgram::runQueueMilliseconds(expanderProcess) - expanderWaited : 0;
    lastFieldWait = VelmoraProgram::runQueueMilliseconds(fieldProcess) - fieldWaited;
    DesktopSession::waitFor(ended, 2000);
    listing = false;
    requestsAfterFinalKey += busRequests - requestsBefore;
    return arrived < 0 ? -1 : double(arrived - sent) / 1e6;
}

double measureOnce(TextFieldsApp& field, Display* display, unsigned lastKey, const int& expansions)
{
    const int before = expansions;
    // The replacement ends after the clipboard is back; the next trigger waits for that.
    return measureOnce(field, display, lastKey, [&] { return expansions > before; });
}

// AutoKey in a home of its own, with one phrase: the trigger, typed anywhere, becomes the
// expansion at once (it needs no separator after it), in the way it sends phrases by default.
class AutoKeyPeer {
public:
    explicit AutoKeyPeer(QString sendMode)
        : m_sendMode(std::move(sendMode))
    {
    }

    bool start()
    {
        // On its first start AutoKey lays out a configuration of its own and reads no other
        // folder: let it, then add the phrase.
        if (!m_home.isValid() || !launch())
            return false;
        const QString settings = m_home.filePath(QStringLiteral("config/autokey/autokey.json"));
        DesktopSession::waitFor([&] { return QFile::exists(settings); }, 10000);
        DesktopSession::pause(1000);
        stop();
        const QString phrases = m_home.filePath(QStringLiteral("config/autokey/data/Benchmark"));
        QDir().mkpath(phrases);
        auto write = [&](const QString& name, const QByteArray& bytes) {
            QFile file(phrases + '/' + name);
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
        };
        const QJsonObject abbreviation{{"abbreviations", QJsonArray{trigger}}, {"backspace", true},
            {"ignoreCase", false}, {"immediate", true}, {"triggerInside", true}, {"wordChars", "[\\w]"}};
        const QJsonObject folder{{"type", "folder"}, {"title", "Benchmark"}, {"modes", QJsonArray{}}, {"usageCount", 0},
            {"showInTrayMenu", false},
            {"abbreviation",
                QJsonObject{{"abbreviations", QJsonArray{}}, {"backspace", true}, {"ignoreCase", false},
                    {"immediate", false}, {"triggerInside", false}, {"wordChars", "[\\w]"}}},
            {"hotkey", QJsonObject{{"modifiers", QJsonArray{}}, {"hotKey", QJsonValue()}}},
            {"filter", QJsonObject{{"regex", QJsonValue()}, {"isRecursive", false}}}};
        QJsonObject phrase = folder;
        phrase.remove("title");
        phrase.insert("type", "phrase");
        phrase.insert("description", "signature");
        phrase.insert("modes", QJsonArray{1});
        phrase.insert("prompt", false);
        phrase.insert("omitTrigger", false);
        phrase.insert("matchCase", false);
        phrase.insert("abbreviation", abbreviation);
        // AutoKey names a phrase's way of sending by the keys it presses: pasting with Ctrl+V is
        // "<ctrl>+v" (a phrase with any other name, "cb" too, is not loaded at all).
        phrase.insert("sendMode", m_sendMode == QLatin1String("cb") ? QStringLiteral("<ctrl>+v") : m_sendMode);
        return write(QStringLiteral(".folder.json"), QJsonDocument(folder).toJson())
            && write(QStringLiteral(".signature.json"), QJsonDocument(phrase).toJson())
            && write(QStringLiteral("signature.txt"), expansion.toUtf8());
    }

    bool launch()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", m_home.path());
        environment.insert("XDG_CONFIG_HOME", m_home.filePath("config"));
        environment.insert("XDG_DATA_HOME", m_home.filePath("data"));
        environment.insert("XDG_CACHE_HOME", m_home.filePath("cache"));
        m_process.setProcessEnvironment(environment);
        m_process.setProgram(QStringLiteral("autokey-gtk"));
        m_process.setStandardOutputFile(m_home.filePath("autokey.log"));
        m_process.setStandardErrorFile(m_home.filePath("autokey.log"), QIODevice::Append);
        m_process.start();
        return m_process.waitForStarted(5000);
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    ~AutoKeyPeer() { stop(); }

    qint64 processId() const { return m_process.processId(); }
    bool running() const { return m_process.state() == QProcess::Running; }

    // The end of what AutoKey wrote on its outputs, to tell why it did not expand.
    void printLog() const
    {
        QFile log(m_home.filePath(QStringLiteral("autokey.log")));
        if (!log.open(QIODevice::ReadOnly))
            return;
        const QList<QByteArray> lines = log.readAll().split('\n');
        std::printf("  AutoKey's log ends:\n");
        for (const QByteArray& line : lines.mid(std::max<qsizetype>(0, lines.size() - 15)))
            std::printf("    %s\n", line.constData());
    }

private:
    QString m_sendMode;
    QTemporaryDir m_home;
    QProcess m_process;
};

// A library of the trigger and `fillers` other shortcuts.
UserData libraryWithFillers(int fillers)
{
    UserData library = UserData::empty();
    for (int i = 0; i < fillers; ++i) {
        Shortcut filler;
        filler.id = QStringLiteral("5C000000-0000-4000-8000-%1").arg(i, 12, 10, QLatin1Char('0'));
        filler.trigger = QStringLiteral(";filler%1").arg(i);
        filler.expansion = QStringLiteral("Filler text number %1, to make the library large.").arg(i);
        filler.order = i;
        library.shortcuts.append(filler);
    }
    Shortcut signature;
    signature.id = QStringLiteral("5C000000-0000-4000-8000-999999999999");
    signature.trigger = trigger;
    signature.expansion = expansion;
    signature.order = fillers;
    library.shortcuts.append(signature);
    return library;
}

struct PeerFigures {
    QList<double> latencies;
    // When each trial's final key was sent, in seconds of the steady clock (perf's
    // CLOCK_MONOTONIC), to find a slow trial in a profile of the expander.
    QList<double> sentAt;
    // Per trial, how long the expander's and the field application's main threads waited for
    // a processor until the expansion arrived (ms; a little after it, as the field is asked).
    QList<double> expanderWaits;
    QList<double> fieldWaits;
    double cpu = 0; // milliseconds, over every measured expansion
    quint64 requests = 0;
    int missed = 0;
    // Over the ordinary keys typed in its turns: its own CPU time and the field application's.
    double typingCpu = 0;
    double fieldTypingCpu = 0;
    int typedKeys = 0;
};

// One trial's latency, negative when it did not expand.
void record(PeerFigures& figures, double latency)
{
    if (latency < 0) {
        ++figures.missed;
        return;
    }
    figures.latencies.append(latency);
    figures.sentAt.append(double(lastSent) / 1e9);
    figures.expanderWaits.append(lastExpanderWait);
    figures.fieldWaits.append(lastFieldWait);
}

// Types ordinary text into the line edit while `expander` runs, adding what that cost the
// expander and the field application; false when the text did not arrive.
bool measureTyping(TextFieldsApp& field, qint64 expander, PeerFigures& figures)
{
    // What the expansion just made may still be moving on screen (Velmora's time-saved label).
    DesktopSession::pause(3000);
    // CPU time is counted in ticks of 10 ms: enough keys that one tick is little per key.
    constexpr int passes = 4;
    for (int pass = 0; pass < passes; ++pass) {
        if (!field.setText(QStringLiteral("line"), QString()))
            return false;
        const double expanderBefore = VelmoraProgram::cpuMilliseconds(expander);
        const double fieldBefore = VelmoraProgram::cpuMilliseconds(field.processId());
        if (!typeOrdinaryText(field, QStringLiteral("line"), QString()))
            return false;
        figures.typingCpu += VelmoraProgram::cpuMilliseconds(expander) - expanderBefore;
        figures.fieldTypingCpu += VelmoraProgram::cpuMilliseconds(field.processId()) - fieldBefore;
        figures.typedKeys += int(ordinaryText.size());
    }
    return true;
}

struct PeerOptions {
    int pairs = 8;
    int perBlock = 30;
    bool ownedClipboard = false;
    QString sendMode = QStringLiteral("kb");
    // The real program, when not empty; otherwise the engine in this process.
    QString program;
    int fillers = 0;
    // Milliseconds from each trial's final key until the next trial, counted in both programs'
    // CPU time: 1500 covers what Velmora shows after an expansion (its time-saved label).
    int gap = 0;
};

int compareWithAutoKey(TextFieldsApp& field, Display* display, unsigned lastKey, TextExpansionEngine& engine,
    const Shortcut& shortcut, int& expansions, const PeerOptions& options)
{
    const int pairs = options.pairs;
    const int perBlock = options.perBlock;
    const bool ownedClipboard = options.ownedClipboard;
    AutoKeyPeer autokey(options.sendMode);
    std::unique_ptr<VelmoraProgram> program;
    if (!options.program.isEmpty()) {
        engine.stop();
        program = std::make_unique<VelmoraProgram>(options.program);
        if (!program->seed(libraryWithFillers(options.fillers))) {
            std::printf("expansion latency: Velmora's library could not be written\n");
            return 1;
        }
    }
    if (!autokey.start()) {
        std::printf("expansion latency: AutoKey could not be started (benchmarks/peer-latency.sh installs it)\n");
        return 1;
    }
    PeerFigures velmora;
    PeerFigures peer;
    double harnessCpu = 0;
    int clipboardRound = 0;
    auto fieldReady = [&] {
        return field.focus(QStringLiteral("line"))
            && (!ownedClipboard
                || field.setClipboard({{"text/plain;charset=utf-8",
                    QStringLiteral("on the clipboard %1").arg(++clipboardRound).toUtf8()}}));
    };
    auto autokeyDone = [&] {
        if (field.text(QStringLiteral("line")) != expansion)
            return false;
        DesktopSession::pause(30);
        return true;
    };
    // Velmora holds the keys typed after a trigger until it has seen the expansion in the field
    // and put the clipboard back: the next trigger starts once it has, as a user's next paste
    // would find their own text. Taking the field's text away earlier (the next trial clears it)
    // leaves Velmora waiting for an expansion that no longer shows, with the next keys held.
    const QString plainText = QStringLiteral("text/plain;charset=utf-8");
    auto velmoraDone = [&] {
        if (field.text(QStringLiteral("line")) != expansion)
            return false;
        // Each look asks Velmora for the clipboard: not too often.
        DesktopSession::pause(10);
        return field.clipboard(plainText).value(plainText) != expansion.toUtf8();
    };
    // Waits out the rest of the gap after a trial, so that both count the same window.
    auto untilGap = [&] {
        const double elapsed = double(steadyNanoseconds() - lastSent) / 1e6;
        if (options.gap > elapsed)
            DesktopSession::pause(int(options.gap - elapsed));
    };
    for (int pair = 0; pair < pairs; ++pair) {
        // AutoKey's turn: started afresh, so that it has not seen the other block's keys.
        engine.stop();
        if (!autokey.launch() || !(expanderProcess = autokey.processId())) {
            std::printf("expansion latency: AutoKey did not start\n");
            return 1;
        }
        bool awake = false;
        for (int attempt = 0; attempt < 20 && !awake; ++attempt) {
            fieldReady();
            awake = measureOnce(field, display, lastKey, autokeyDone) >= 0;
            if (!awake)
                DesktopSession::pause(250);
        }
        if (!awake) {
            std::printf("expansion latency: AutoKey never expanded the trigger\n");
            autokey.printLog();
            return 1;
        }
        if (!measureTyping(field, autokey.processId(), peer)) {
            std::printf("expansion latency: ordinary typing did not arrive beside AutoKey\n");
            return 1;
        }
        double peerCpu = VelmoraProgram::cpuMilliseconds(autokey.processId());
        double ownCpu = cpuMilliseconds();
        for (int i = 0; i < perBlock; ++i) {
            fieldReady();
            const double latency = measureOnce(field, display, lastKey, autokeyDone);
            record(peer, latency);
            untilGap();
        }
        peer.cpu += VelmoraProgram::cpuMilliseconds(autokey.processId()) - peerCpu;
        harnessCpu += cpuMilliseconds() - ownCpu;
        autokey.stop();
        expanderProcess = 0;

        if (program) {
            // Velmora's turn, the real program, started afresh as AutoKey is.
            // It shows its popover once started; the field takes the keyboard back afterwards.
            if (!program->launch() || DesktopSession::windowOf(program->processId()) == 0
                || !(expanderProcess = program->processId())) {
                std::printf("expansion latency: Velmora did not start\n");
                return 1;
            }
            // Its popover closes when the field takes the keyboard; the turn begins once it
            // expands, and each trial waits for its clipboard to be put back, as AutoKey's does.
            bool started = false;
            for (int attempt = 0; attempt < 40 && !started; ++attempt) {
                fieldReady();
                started = measureOnce(field, display, lastKey, velmoraDone) >= 0;
                if (!started)
                    DesktopSession::pause(250);
            }
            if (!started) {
                std::printf("expansion latency: Velmora never expanded the trigger\n");
                return 1;
            }
            if (!measureTyping(field, program->processId(), velmora)) {
                std::printf("expansion latency: ordinary typing did not arrive beside Velmora\n");
                return 1;
            }
            const double programCpu = VelmoraProgram::cpuMilliseconds(program->processId());
            ownCpu = cpuMilliseconds();
            for (int i = 0; i < perBlock; ++i) {
                fieldReady();
                const double latency = measureOnce(field, display, lastKey, velmoraDone);
                record(velmora, latency);
                untilGap();
            }
            velmora.cpu += VelmoraProgram::cpuMilliseconds(program->processId()) - programCpu;
            harnessCpu += cpuMilliseconds() - ownCpu;
            program->stop();
            expanderProcess = 0;
        } else {
            // Velmora's turn, the engine in this process.
            engine.start({shortcut}, [&](const QString&, const QString&, const QString&) { ++expansions; });
            fieldReady();
            measureOnce(field, display, lastKey, expansions);
            ownCpu = cpuMilliseconds();
            const quint64 requestsBefore = requestsAfterFinalKey;
            for (int i = 0; i < perBlock; ++i) {
                fieldReady();
                const double latency = measureOnce(field, display, lastKey, expansions);
                record(velmora, latency);
                untilGap();
            }
            velmora.cpu += cpuMilliseconds() - ownCpu;
            velmora.requests += requestsAfterFinalKey - requestsBefore;
        }
        std::printf("  pair %d: AutoKey median %.1f ms, Velmora median %.1f ms\n", pair + 1,
            percentile(
                peer.latencies.mid(peer.latencies.size() - std::min<qsizetype>(perBlock, peer.latencies.size())), 0.5),
            percentile(velmora.latencies.mid(
                           velmora.latencies.size() - std::min<qsizetype>(perBlock, velmora.latencies.size())),
                0.5));
        std::fflush(stdout);
    }
    engine.stop();
    if (peer.latencies.isEmpty() || velmora.latencies.isEmpty()) {
        std::printf("expansion latency: one side never expanded\n");
        return 1;
    }
    const double trials = double(pairs * perBlock);
    std::printf("side by side with AutoKey (%s), %d pairs x %d expansions%s%s:\n",
        options.sendMode == QLatin1String("cb") ? "pasting its phrase" : "typing its phrase", pairs, perBlock,
        ownedClipboard ? ", another application owning new text on the clipboard before each" : "",
        options.gap > 0 ? qPrintable(QStringLiteral(", each given %1 ms from its final key").arg(options.gap)) : "");
    std::printf("  %-8s median %6.1f ms  p95 %6.1f ms  CPU %5.2f ms per expansion  %d missed\n", "AutoKey",
        percentile(peer.latencies, 0.5), percentile(peer.latencies, 0.95), peer.cpu / trials, peer.missed);
    if (program) {
        std::printf("  %-8s median %6.1f ms  p95 %6.1f ms  CPU %5.2f ms per expansion (the program, %d other "
                    "shortcuts)  %d missed\n",
            "Velmora", percentile(velmora.latencies, 0.5), percentile(velmora.latencies, 0.95), velmora.cpu / trials,
            options.fillers, velmora.missed);
    } else {
        // The harness runs in this process in both turns: what it costs alone is taken from AutoKey's.
        const double harnessPerTrial = harnessCpu / trials;
        std::printf("  %-8s median %6.1f ms  p95 %6.1f ms  CPU %5.2f ms per expansion (engine, this process less "
                    "%.2f ms of harness)  AT-SPI requests after the final key %.1f  %d missed\n",
            "Velmora", percentile(velmora.latencies, 0.5), percentile(velmora.latencies, 0.95),
            velmora.cpu / trials - harnessPerTrial, harnessPerTrial, double(velmora.requests) / trials, velmora.missed);
    }
    // The tail: where a slow trial stands in its block tells a start-up cost from a periodic one.
    auto printSlowest = [perBlock](const char* name, const PeerFigures& figures) {
        const QList<double>& latencies = figures.latencies;
        QList<qsizetype> order(latencies.size());
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) { return latencies[a] > latencies[b]; });
        std::printf("  %-8s slowest:", name);
        for (qsizetype i = 0; i < std::min<qsizetype>(5, order.size()); ++i)
            std::printf(" %.1f ms (trial %lld of its block, at %.3f s, waiting for a processor: expander %.1f ms, "
                        "field %.1f ms);",
                latencies[order[i]], qlonglong(order[i] % perBlock) + 1, figures.sentAt.value(order[i]),
                figures.expanderWaits.value(order[i]), figures.fieldWaits.value(order[i]));
        std::printf("\n");
    };
    printSlowest("AutoKey", peer);
    printSlowest("Velmora", velmora);
    std::printf("  median ratio Velmora / AutoKey %.2f\n",
        percentile(velmora.latencies, 0.5) / percentile(peer.latencies, 0.5));
    if (program) {
        // The typed-into application's share shows what an expander asks of every application.
        std::printf("  CPU per ordinary key, the expander / the field application: AutoKey %.2f / %.2f ms, "
                    "Velmora %.2f / %.2f ms (over %d keys each)\n",
            peer.typingCpu / std::max(1, peer.typedKeys), peer.fieldTypingCpu / std::max(1, peer.typedKeys),
            velmora.typingCpu / std::max(1, velmora.typedKeys), velmora.fieldTypingCpu / std::max(1, velmora.typedKeys),
            velmora.typedKeys);
    }
    return velmora.missed == 0 ? 0 : 1;
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
    QCommandLineParser parser;
    parser.addOptions({{"peer", "Measure side by side with this expander (autokey).", "name"},
        {"pairs", "Turns each.", "n", "8"}, {"expansions", "Expansions per turn.", "n", "30"},
        {"app", "With --peer: measure this Velmora program instead of the engine in this process.", "path"},
        {"library", "With --app: other shortcuts in its library.", "n", "0"},
        {"peer-mode", "How AutoKey sends its phrase: kb (typing) or cb (pasting).", "mode", "kb"},
        {"owned-clipboard", "Another application puts new text on the clipboard before each trial."},
        {"gap", "With --peer: each trial's time from its final key until the next, counted in both CPU times.", "ms",
            "0"},
        {"list-requests", "Print every AT-SPI request sent after a trigger's final key."}});
    parser.process(application);
    listRequests = parser.isSet("list-requests");
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
    engine.start({shortcut}, [&](const QString&, const QString&, const QString&) { ++expansions; });

    TextFieldsApp field;
    Display* display = XOpenDisplay(nullptr);
    const bool fieldStarted = field.start();
    fieldProcess = field.processId();
    if (!engine.isRunning() || !display || !fieldStarted
        || !field.setClipboard({{"text/plain;charset=utf-8", "on the clipboard"}})
        || !field.focus(QStringLiteral("line"))) {
        std::printf("expansion latency: the desktop, the engine or the field application did not start\n");
        return 1;
    }
    const unsigned lastKey = XKeysymToKeycode(display, XK_g);
    DesktopSession::pause(200);
    if (parser.isSet("peer")) {
        if (parser.value("peer") != QLatin1String("autokey")) {
            std::printf("expansion latency: the only peer known is autokey\n");
            return 1;
        }
        PeerOptions options;
        options.pairs = parser.value("pairs").toInt();
        options.perBlock = parser.value("expansions").toInt();
        options.ownedClipboard = parser.isSet("owned-clipboard");
        options.sendMode = parser.value("peer-mode");
        options.program = parser.value("app");
        options.fillers = parser.value("library").toInt();
        options.gap = parser.value("gap").toInt();
        const int result = compareWithAutoKey(field, display, lastKey, engine, shortcut, expansions, options);
        XCloseDisplay(display);
        return result;
    }

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
    engine.start({shortcut}, [&](const QString&, const QString&, const QString&) { ++expansions; });

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
