// Types random text with triggers in it straight on, as a quick typist does, into a Qt line
// edit (the test field application) and a GTK entry (zenity), with the engine running in this
// process, and counts the runs whose field ends up holding exactly the text with every trigger
// replaced. Keys come from a thread of their own on its own X connection, through XTest (the
// device on-screen keyboards, remote desktops and xdotool type through, and the engine's own
// replay), a random 10 to 60 ms apart by default, so that they keep coming whatever the engine
// is doing.
//   --runs N       runs per field, load and typing style (default 20)
//   --load N       busy processes for the loaded rounds (default: one per core; 0 skips them)
//   --fields qt,gtk
//   --delay MIN-MAX  milliseconds between keys (default 10-60; fast typists: 8-24)
//   --styles plain,rollover  rollover presses each key before the previous one is let go
//   --loaded-only  skips the idle rounds
//   --clipboard TEXT  the user's clipboard holds this text (owned by this process) rather than
//                  nothing
//   --explain      prints the engine's log of each run that left a trigger as typed or was
//                  corrupted
// Prints one line per field, load and style: the runs that came out exact, those that only
// left a trigger as typed, and those whose text was corrupted (a character lost, doubled or
// out of order), with the first of the latter; exits 1 when any run was corrupted.
#include "DesktopSession.h"
#include "Engine/TextExpansionEngine.h"
#include "Models/Shortcut.h"
#include "TextFieldsApp.h"
#include "platform/AccessibilityTrust.h"
#include "platform/KeyboardHold.h"
#include "platform/linux/LinuxDesktop.h"

#include <QApplication>
#include <QClipboard>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <atomic>
#include <memory>
#include <cstdio>
#include <thread>

namespace {

constexpr int skipped = 77;

const QList<std::pair<QString, QString>> triggers = {
    {QStringLiteral("/sig"), QStringLiteral("Best regards, Anna")},
    {QStringLiteral(";addr"), QStringLiteral("12 Long Road")},
    {QStringLiteral("/a"), QStringLiteral("AAA")},
    {QStringLiteral("/b"), QStringLiteral("BBB")},
};
const QStringList words = {"hi", "and", "more", "the", "typing", "Quick", "fox", "ok", "yes", "line"};
const QStringList joins = {" ", " ", ", ", "! ", ". ", ""};

struct Sample {
    QString typed;
    QString expected;
    // Matches every text the sample may end up as when some triggers stay as typed.
    QString pattern;
};

Sample randomSample(QRandomGenerator& random)
{
    Sample sample;
    const int parts = 4 + int(random.bounded(5));
    for (int i = 0; i < parts; ++i) {
        const QString join = i == 0 ? QString() : joins.at(random.bounded(joins.size()));
        if (random.bounded(2) == 0) {
            const auto& [trigger, expansion] = triggers.at(random.bounded(triggers.size()));
            sample.typed += join + trigger;
            sample.expected += join + expansion;
            sample.pattern += QRegularExpression::escape(join)
                + QStringLiteral("(?:%1|%2)")
                      .arg(QRegularExpression::escape(expansion), QRegularExpression::escape(trigger));
        } else {
            // A word never follows another without a break, so that no word runs into a trigger.
            const QString word = words.at(random.bounded(words.size()));
            const QString separator = join.isEmpty() && i > 0 ? QStringLiteral(" ") : join;
            sample.typed += separator + word;
            sample.expected += separator + word;
            sample.pattern += QRegularExpression::escape(separator + word);
        }
    }
    return sample;
}

// Types the text through XTest from its own thread and connection.
class Typist {
public:
    Typist(quint32 seed, int shortestDelay, int longestDelay)
        : m_random(seed)
        , m_shortest(shortestDelay)
        , m_longest(longestDelay)
    {
    }

    // Each key goes down before the previous one comes up, as with fast typists.
    bool rollover = false;

    bool type(const QString& text)
    {
        Display* display = XOpenDisplay(nullptr);
        if (!display)
            return false;
        std::atomic<bool> done = false;
        std::thread thread([&] {
            const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
            KeyCode down = 0; // a key left down for rollover
            const auto liftDown = [&] {
                if (down != 0)
                    XTestFakeKeyEvent(display, down, False, CurrentTime);
                down = 0;
            };
            for (QChar character : text) {
                const KeySym symbol = symbolOf(character);
                const KeyCode code = XKeysymToKeycode(display, symbol);
                const bool shifted = XkbKeycodeToKeysym(display, code, 0, 0) != symbol;
                // A shifted key, or the same key again, cannot roll over the one still down. A
                // key let go of and pressed again within one millisecond is the server's
                // autorepeat, which no finger makes: a finger takes a moment.
                if (shifted || code == down) {
                    const bool again = code == down;
                    liftDown();
                    if (again) {
                        XFlush(display);
                        std::this_thread::sleep_for(std::chrono::milliseconds(std::max(2, m_shortest / 2)));
                    }
                }
                if (shifted)
                    XTestFakeKeyEvent(display, shift, True, CurrentTime);
                XTestFakeKeyEvent(display, code, True, CurrentTime);
                if (rollover && !shifted) {
                    liftDown();
                    down = code;
                } else {
                    XTestFakeKeyEvent(display, code, False, CurrentTime);
                }
                if (shifted)
                    XTestFakeKeyEvent(display, shift, False, CurrentTime);
                XFlush(display);
                std::this_thread::sleep_for(
                    std::chrono::milliseconds(m_shortest + m_random.bounded(m_longest - m_shortest + 1)));
            }
            liftDown();
            XSync(display, False);
            done = true;
        });
        // The engine lives on this thread: keep its event loop turning meanwhile.
        DesktopSession::waitFor([&] { return done.load(); }, 60000);
        thread.join();
        XCloseDisplay(display);
        return true;
    }

private:
    static KeySym symbolOf(QChar character)
    {
        switch (character.unicode()) {
        case ' ': return XK_space;
        case '/': return XK_slash;
        case ';': return XK_semicolon;
        case ',': return XK_comma;
        case '.': return XK_period;
        case '!': return XK_exclam;
        default: return XStringToKeysym(QString(character).toLatin1().constData());
        }
    }

    QRandomGenerator m_random;
    int m_shortest;
    int m_longest;
};

struct Round {
    int exact = 0;
    int leftAsTyped = 0;
    int corrupted = 0;
    int runs = 0;
    QStringList mismatches;
};

// The engine's log of the run under way, kept with --explain.
QStringList runLog;
QtMessageHandler previousHandler = nullptr;

void keepEngineLog(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (context.category && QByteArrayView(context.category) == "velmora.engine") {
        runLog.append(message);
        return;
    }
    previousHandler(type, context, message);
}

// The longest the keys held back took to reach the field after the typist's last key, this round.
qint64 longestDelivery = 0;

// Waits until every key the engine held back has reached the field, the engine has reported
// every trigger of the sample and has had time to put the clipboard back, or until nothing
// more can come.
void settle(KeyboardHold* hold, const int& expansions, int wanted)
{
    if (hold) {
        QElapsedTimer delivery;
        delivery.start();
        auto delivered = std::make_shared<bool>(false);
        hold->afterRelease([delivered] { *delivered = true; });
        DesktopSession::waitFor([&] { return *delivered; }, 10000);
        longestDelivery = std::max(longestDelivery, delivery.elapsed());
    }
    DesktopSession::waitFor([&] { return expansions >= wanted; }, 3000);
    DesktopSession::pause(150);
}

int triggerCount(const Sample& sample)
{
    int count = 0;
    QString rest = sample.expected;
    for (const auto& [trigger, expansion] : triggers)
        count += rest.count(expansion);
    return count;
}

bool runQt(TextFieldsApp& app, Typist& typist, KeyboardHold* hold, const Sample& sample, const int& expansions,
    QString& got)
{
    app.setText(QStringLiteral("line"), QString());
    if (!app.focus(QStringLiteral("line")))
        return false;
    DesktopSession::pause(50);
    const int before = expansions;
    typist.type(sample.typed);
    settle(hold, expansions, before + triggerCount(sample));
    DesktopSession::waitFor([&] { return app.text(QStringLiteral("line")) == sample.expected; }, 1000);
    got = app.text(QStringLiteral("line"));
    return got == sample.expected;
}

bool runGtk(Typist& typist, KeyboardHold* hold, const Sample& sample, const int& expansions, QString& got)
{
    QProcess zenity;
    zenity.start(QStringLiteral("zenity"), {"--entry", "--text=Type"});
    if (!zenity.waitForStarted(5000) || !DesktopSession::focusWindowOf(zenity.processId()))
        return false;
    DesktopSession::pause(300);
    const int before = expansions;
    typist.type(sample.typed);
    settle(hold, expansions, before + triggerCount(sample));
    DesktopSession::xdotool({"key", "Return"});
    DesktopSession::waitFor([&] { return zenity.state() == QProcess::NotRunning; }, 5000);
    if (zenity.state() != QProcess::NotRunning) {
        zenity.kill();
        zenity.waitForFinished();
    }
    got = QString::fromUtf8(zenity.readAllStandardOutput()).chopped(1);
    return got == sample.expected;
}

QList<QProcess*> startLoad(int processes)
{
    QList<QProcess*> load;
    for (int i = 0; i < processes; ++i) {
        auto* process = new QProcess;
        process->start(QStringLiteral("sh"), {"-c", "while :; do :; done"});
        load.append(process);
    }
    return load;
}

void stopLoad(QList<QProcess*>& load)
{
    for (QProcess* process : std::as_const(load)) {
        process->kill();
        process->waitForFinished();
        delete process;
    }
    load.clear();
}

}

int main(int argc, char** argv)
{
    if (QString missing = DesktopSession::missingDisplay(); !missing.isEmpty()) {
        std::printf("typing on: skipped, %s\n", qPrintable(missing));
        return skipped;
    }
    XInitThreads();
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{"runs", "Runs per field, load and style.", "n", "20"},
        {"load", "Busy processes in the loaded rounds.", "n", QString::number(QThread::idealThreadCount())},
        {"fields", "Fields to type into.", "list", "qt,gtk"}, {"seed", "Random seed.", "n", "1"},
        {"delay", "Milliseconds between keys.", "min-max", "10-60"},
        {"styles", "Typing styles: plain, rollover.", "list", "plain"},
        {"loaded-only", "Skip the idle rounds."},
        {"clipboard", "Text on the user's clipboard during the runs.", "text"},
        {"explain", "Print the engine's log of each run that left a trigger as typed."}});
    parser.process(application);
    const bool explain = parser.isSet("explain");
    if (explain) {
        QLoggingCategory::setFilterRules(QStringLiteral("velmora.engine.debug=true"));
        previousHandler = qInstallMessageHandler(keepEngineLog);
    }
    const int runs = parser.value("runs").toInt();
    const int loadProcesses = parser.value("load").toInt();
    const QStringList fields = parser.value("fields").split(',');
    const QStringList styles = parser.value("styles").split(',');
    const QStringList delays = parser.value("delay").split('-');
    const int shortestDelay = delays.value(0).toInt();
    const int longestDelay = std::max(shortestDelay, delays.value(1, delays.value(0)).toInt());
    if (QString missing = DesktopSession::missingPieces(); !missing.isEmpty()) {
        std::printf("typing on: skipped, %s\n", qPrintable(missing));
        return skipped;
    }

    LinuxDesktop desktop;
    // As in velmora: the clipboard's giving back stands by, and offers each expansion.
    desktop.keepClipboardAfterExit(QStringLiteral(VELMORA_PROGRAM));
    if (!desktop.desktop().trust->isProcessTrusted()) {
        std::printf("typing on: %s\n", qPrintable(desktop.desktop().trust->untrustedReason()));
        return 1;
    }
    QList<Shortcut> shortcuts;
    for (const auto& [trigger, expansion] : triggers) {
        Shortcut shortcut;
        shortcut.id = trigger;
        shortcut.trigger = trigger;
        shortcut.expansion = expansion;
        shortcuts.append(shortcut);
    }
    int expansions = 0;
    TextExpansionEngine engine(desktop.desktop());
    engine.start(shortcuts, [&](const QString&, const QString&, const QString&) { ++expansions; });
    TextFieldsApp app;
    if (!engine.isRunning() || !app.start()) {
        std::printf("typing on: the engine or the field application did not start\n");
        return 1;
    }

    if (parser.isSet("clipboard"))
        QGuiApplication::clipboard()->setText(parser.value("clipboard"));
    const quint32 seed = parser.value("seed").toUInt();
    QRandomGenerator random(seed);
    Typist typist(seed, shortestDelay, longestDelay);
    bool noneCorrupted = true;
    for (const bool loaded : {false, true}) {
        if ((loaded && loadProcesses <= 0) || (!loaded && parser.isSet("loaded-only")))
            continue;
        QList<QProcess*> load = loaded ? startLoad(loadProcesses) : QList<QProcess*>();
        for (const QString& style : styles) {
            typist.rollover = style == "rollover";
            for (const QString& field : fields) {
                Round round;
                longestDelivery = 0;
                for (int run = 0; run < runs; ++run) {
                    const Sample sample = randomSample(random);
                    runLog.clear();
                    QString got;
                    KeyboardHold* hold = desktop.desktop().keyboardHold;
                    const bool exact = field == "gtk" ? runGtk(typist, hold, sample, expansions, got)
                                                      : runQt(app, typist, hold, sample, expansions, got);
                    ++round.runs;
                    if (exact) {
                        ++round.exact;
                        continue;
                    }
                    if (QRegularExpression(QStringLiteral("\\A%1\\z").arg(sample.pattern)).match(got).hasMatch()) {
                        ++round.leftAsTyped;
                        if (explain)
                            std::printf("    left as typed: \"%s\" -> \"%s\"\n      %s\n", qPrintable(sample.typed),
                                qPrintable(got), qPrintable(runLog.join(QStringLiteral("\n      "))));
                        continue;
                    }
                    ++round.corrupted;
                    if (round.mismatches.size() < 5)
                        round.mismatches.append(
                            QStringLiteral("    typed    \"%1\"\n    expected \"%2\"\n    got      \"%3\"")
                                .arg(sample.typed, sample.expected, got)
                            + (explain ? QStringLiteral("\n      ") + runLog.join(QStringLiteral("\n      ")) : QString()));
                }
                std::printf("typing on: %s field, %s, %s, %d-%d ms per key: %d of %d runs exact, %d left a trigger as "
                            "typed, %d corrupted; held keys in the field at most %lld ms after the last key\n",
                    qPrintable(field),
                    loaded ? qPrintable(QStringLiteral("%1 busy processes").arg(loadProcesses)) : "idle",
                    qPrintable(style), shortestDelay, longestDelay, round.exact, round.runs, round.leftAsTyped,
                    round.corrupted, qlonglong(longestDelivery));
                for (const QString& mismatch : std::as_const(round.mismatches))
                    std::printf("%s\n", qPrintable(mismatch));
                std::fflush(stdout);
                noneCorrupted = noneCorrupted && round.corrupted == 0;
            }
        }
        stopLoad(load);
    }
    engine.stop();
    return noneCorrupted ? 0 : 1;
}
