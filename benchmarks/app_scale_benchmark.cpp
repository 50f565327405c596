// The whole application with a large library, measured from outside as its user meets it: the
// real `velmora` program is started as the user starts it, with a generated library of 1,000,
// 10,000 and 50,000 shortcuts (see GeneratedLibrary.h, plus "/sig") in a data folder of its own,
// and driven with keys sent through XTest, as a keyboard would. Run it inside the test desktop:
//
//   scripts/with-desktop.sh build/benchmarks/app_scale_benchmark [--app PATH] [--sizes 1000,50000]
//                                                                 [--edits N] [--expansions N] [--window MS]
//                                                                 [--searches N] [--other-layout]
//                                                                 [--words ascii,mixed] [--rounds N]
//
// The search is typed before the edits and again after them, when the library it looks
// through has changed. The edits (--edits of each kind) are saved through the shortcut form
// with Return, four ways: new shortcuts with the search field empty, then with a search left
// in it (the list shows its results when the form closes); then those shortcuts changed
// through their own forms, opened from the list, once with their search cleared before the
// form opens and once with it left in the field. Each save's CPU time is also taken until the
// whole process is quiet (its writer and helper threads done), not only its interface. With
// --other-layout each size also starts from the same library laid out as another program
// writes JSON (no indentation), which the program reads with its general parser. --words
// ascii,mixed measures each size with the plain ASCII library and with the same library holding
// words in other scripts (GeneratedLibrary::Words), one after the other, --rounds times: runs
// alternate, so that the load of a shared machine falls on both alike.
//
// How long the interface stops answering is seen from another X connection: a probe thread
// sends the popover a _NET_WM_PING every 2 ms and waits for the answer, which Qt gives on its
// interface thread; the longest round trip while a step runs is the longest freeze it caused.
// CPU time and memory are the program's own, read from /proc. Figures are reported, not judged:
// they depend on the machine's load.
#include "DesktopSession.h"
#include "GeneratedLibrary.h"
#include "Persistence/LocalStore.h"
#include "TextFieldsApp.h"
#include "VelmoraProgram.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QJsonDocument>
#include <QMap>
#include <QTextStream>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

QString fixed(double value, int decimals = 1)
{
    return QString::number(value, 'f', decimals);
}

// Waits for the program's popover to be mapped, then pings it every 2 ms from its own X
// connection and keeps every round trip.
class PingProbe {
public:
    struct Ping {
        Clock::time_point sent;
        Clock::time_point answered;
    };

    explicit PingProbe(qint64 process)
        : m_process(process)
        , m_thread([this] { run(); })
    {
    }
    ~PingProbe()
    {
        m_running = false;
        m_thread.join();
    }

    bool popoverMapped() const { return m_mapped; }
    // Answering a ping costs the program a little CPU time: measurements of its CPU time
    // pause them.
    void setPaused(bool paused) { m_paused = paused; }
    Clock::time_point mappedAt() const { return m_mappedAt; }
    // When the first ping after the map was answered: the popover is up and its start is done.
    std::optional<Clock::time_point> firstAnswer() const
    {
        const std::lock_guard lock(m_mutex);
        if (m_pings.isEmpty())
            return std::nullopt;
        return m_pings.first().answered;
    }

    // The longest round trip of a ping in flight at any time from `from` to `to`; a ping still
    // unanswered counts until now.
    double longestFreeze(Clock::time_point from, Clock::time_point to) const
    {
        const std::lock_guard lock(m_mutex);
        double longest = 0;
        for (const Ping& ping : m_pings) {
            if (ping.sent <= to && ping.answered >= from)
                longest = std::max(longest, millisecondsBetween(ping.sent, ping.answered));
        }
        if (m_waiting && m_waitingSince <= to)
            longest = std::max(longest, millisecondsBetween(m_waitingSince, Clock::now()));
        return longest;
    }

    // Whether every ping of the last `milliseconds` was answered within `threshold`.
    bool quietFor(double milliseconds, double threshold = 15) const
    {
        const Clock::time_point now = Clock::now();
        const Clock::time_point from = now - std::chrono::microseconds(qint64(milliseconds * 1000));
        {
            const std::lock_guard lock(m_mutex);
            if (m_pings.isEmpty() || millisecondsBetween(m_pings.first().sent, now) < milliseconds)
                return false;
        }
        return longestFreeze(from, now) < threshold;
    }

private:
    void run()
    {
        Display* display = XOpenDisplay(nullptr);
        if (!display)
            return;
        const Window root = DefaultRootWindow(display);
        // Maps are seen with SubstructureNotify; Qt sends its answers to pings to the root
        // window for StructureNotify (and a window manager's SubstructureRedirect).
        XSelectInput(display, root, SubstructureNotifyMask | StructureNotifyMask);
        const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
        const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
        const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
        XSync(display, False);
        Window popover = 0;
        auto isPopover = [&](Window window) {
            Atom type = 0;
            int format = 0;
            unsigned long count = 0;
            unsigned long after = 0;
            unsigned char* data = nullptr;
            bool ours = false;
            if (XGetWindowProperty(
                    display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data)
                    == Success
                && data && count == 1)
                ours = qint64(*reinterpret_cast<unsigned long*>(data)) == m_process;
            if (data)
                XFree(data);
            XWindowAttributes attributes{};
            // The popover is the program's one large window; the floater and toasts are small.
            return ours && XGetWindowAttributes(display, window, &attributes) && attributes.width >= 300
                && attributes.height >= 300;
        };
        while (m_running && !popover) {
            while (XPending(display) > 0) {
                XEvent event;
                XNextEvent(display, &event);
                if (event.type == MapNotify && isPopover(event.xmap.window)) {
                    popover = event.xmap.window;
                    m_mappedAt = Clock::now();
                    m_mapped = true;
                }
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        unsigned long serial = 0;
        while (m_running && popover) {
            if (m_paused) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            XEvent message{};
            message.xclient.type = ClientMessage;
            message.xclient.window = popover;
            message.xclient.message_type = protocols;
            message.xclient.format = 32;
            message.xclient.data.l[0] = long(ping);
            message.xclient.data.l[1] = long(++serial);
            message.xclient.data.l[2] = long(popover);
            m_waitingSince = Clock::now();
            m_waiting = true;
            XSendEvent(display, popover, False, NoEventMask, &message);
            XFlush(display);
            bool answered = false;
            while (m_running && !answered) {
                while (XPending(display) > 0) {
                    XEvent event;
                    XNextEvent(display, &event);
                    if (event.type == ClientMessage && event.xclient.message_type == protocols
                        && Atom(event.xclient.data.l[0]) == ping && (unsigned long)(event.xclient.data.l[1]) == serial)
                        answered = true;
                }
                if (!answered)
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
            const Clock::time_point now = Clock::now();
            {
                const std::lock_guard lock(m_mutex);
                m_pings.append({m_waitingSince, now});
                m_waiting = false;
            }
            std::this_thread::sleep_until(m_waitingSince + std::chrono::milliseconds(2));
        }
        XCloseDisplay(display);
    }

    qint64 m_process;
    std::atomic<bool> m_running = true;
    std::atomic<bool> m_mapped = false;
    std::atomic<bool> m_paused = false;
    Clock::time_point m_mappedAt;
    std::atomic<bool> m_waiting = false;
    Clock::time_point m_waitingSince;
    mutable std::mutex m_mutex;
    QList<Ping> m_pings;
    std::thread m_thread;
};

// Keys as a keyboard sends them, through XTest, to the window with the input focus.
class Keyboard {
public:
    Keyboard()
        : m_display(XOpenDisplay(nullptr))
    {
    }
    ~Keyboard()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    bool valid() const { return m_display; }

    void press(KeySym key, QList<KeySym> modifiers = {})
    {
        for (const KeySym modifier : modifiers)
            XTestFakeKeyEvent(m_display, XKeysymToKeycode(m_display, modifier), True, CurrentTime);
        XTestFakeKeyEvent(m_display, XKeysymToKeycode(m_display, key), True, CurrentTime);
        XSync(m_display, False);
        // Held as a finger holds it: a press and release within a millisecond are not typing.
        usleep(8000);
        XTestFakeKeyEvent(m_display, XKeysymToKeycode(m_display, key), False, CurrentTime);
        std::reverse(modifiers.begin(), modifiers.end());
        for (const KeySym modifier : modifiers)
            XTestFakeKeyEvent(m_display, XKeysymToKeycode(m_display, modifier), False, CurrentTime);
        XSync(m_display, False);
    }

private:
    Display* m_display;
};

// The library file's identity: it is replaced by renaming a new file over it.
struct FileStamp {
    ino_t inode = 0;
    qint64 modified = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const QString& path)
{
    struct stat info { };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {info.st_ino, qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

const QString expansionTrigger = QStringLiteral("/sig");
const QString expansionText = QStringLiteral("Best regards, Anna");

class Run {
public:
    Run(const QString& program, int shortcuts, GeneratedLibrary::Words words, int edits, int expansions,
        int expansionWindow, int searches, bool otherLayout)
        : m_velmora(program)
        , m_shortcuts(shortcuts)
        , m_words(words)
        , m_edits(edits)
        , m_expansions(expansions)
        , m_expansionWindow(expansionWindow)
        , m_searches(searches)
        , m_otherLayout(otherLayout)
    {
    }

    QMap<QString, QString> measure()
    {
        if (!seed())
            return fail(QStringLiteral("the library could not be written"));
        const Clock::time_point started = Clock::now();
        if (!m_velmora.launch())
            return fail(QStringLiteral("velmora did not start"));
        const qint64 pid = m_velmora.processId();
        // For a profiler to attach to.
        std::fprintf(stderr, "app scale benchmark: velmora is process %lld\n", pid);
        m_probe = std::make_unique<PingProbe>(pid);
        if (!DesktopSession::waitFor([&] { return m_probe->firstAnswer().has_value(); }, 20000))
            return fail(QStringLiteral("the popover did not come up"));
        m_results.insert(QStringLiteral("start"), fixed(millisecondsBetween(started, *m_probe->firstAnswer()), 0));
        m_results.insert(QStringLiteral("startMapped"), fixed(millisecondsBetween(started, m_probe->mappedAt()), 0));
        settle(1000);
        m_results.insert(QStringLiteral("startCpu"), fixed(VelmoraProgram::cpuMilliseconds(pid), 0));
        m_results.insert(QStringLiteral("memory"), QString::number(VelmoraProgram::residentMegabytes(pid)));

        measureSearch();
        if (m_searches > 1)
            measureSearchAgain();
        // The search keeps its index of the library from here on: growth after the edits is
        // theirs only when compared with this.
        m_results.insert(QStringLiteral("memorySearched"), QString::number(VelmoraProgram::residentMegabytes(pid)));
        measurePings(pid);
        measureEdits(pid, QString());
        // Once the last edit's write is done.
        DesktopSession::pause(2000);
        m_results.insert(QStringLiteral("memoryEdits"), QString::number(VelmoraProgram::residentMegabytes(pid)));
        // The same edits with a search left in the field: the form closes onto its results.
        typeIntoSearch(QStringLiteral("invo"));
        measureEdits(pid, QStringLiteral("Searched"));
        DesktopSession::pause(2000);
        m_results.insert(
            QStringLiteral("memoryEditsSearched"), QString::number(VelmoraProgram::residentMegabytes(pid)));
        clearSearch();
        // Shortcuts added above, changed through their forms.
        measureEdits(pid, QStringLiteral("Changed"), Edit::change);
        measureEdits(pid, QStringLiteral("ChangedSearched"), Edit::changeSearched);
        DesktopSession::pause(2000);
        m_results.insert(
            QStringLiteral("memoryChanged"), QString::number(VelmoraProgram::residentMegabytes(pid)));
        measureSearchAfterEdits(pid);
        measureExpansions(pid);
        m_keyboard.press(XK_q, {XK_Control_L});
        m_velmora.process().waitForFinished(5000);
        m_velmora.stop();
        m_probe.reset();
        return m_results;
    }

private:
    bool seed()
    {
        UserData library = GeneratedLibrary::generate(m_shortcuts, m_words);
        Shortcut signature;
        signature.id = QStringLiteral("5C000000-0000-4000-8000-999999999999");
        signature.trigger = expansionTrigger;
        signature.expansion = expansionText;
        signature.order = m_shortcuts;
        library.shortcuts.append(signature);
        return m_velmora.seed(library) && (!m_otherLayout || relayOut());
    }

    // The library file written again as another program lays JSON out: the same values,
    // without the encoder's indentation and line breaks.
    bool relayOut()
    {
        QFile file(QDir(m_velmora.dataFolder()).filePath(LocalStore::fileName(LocalStore::Resource::library)));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QByteArray other = QJsonDocument::fromJson(file.readAll()).toJson(QJsonDocument::Compact);
        file.close();
        if (other.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        return file.write(other) == other.size();
    }

    QMap<QString, QString> fail(const QString& why)
    {
        std::fprintf(stderr, "app scale benchmark, %d shortcuts: %s\n", m_shortcuts, qPrintable(why));
        m_velmora.stop();
        m_probe.reset();
        m_results.insert(QStringLiteral("failed"), why);
        return m_results;
    }

    // Waits until the popover has answered every ping of the last `quiet` milliseconds quickly.
    void settle(int quiet = 300)
    {
        DesktopSession::waitFor([&] { return m_probe->quietFor(quiet); }, 20000);
    }

    // A step's longest freeze: from its input until the popover has been quiet again. The quiet
    // counts from the input on: the pings answered before the program has read it say nothing.
    // (Qt reads its events in order, so a ping sent after the input is answered after it.)
    template <class Step> double freeze(Step step, int quiet = 300)
    {
        settle();
        const Clock::time_point from = Clock::now();
        step();
        DesktopSession::waitFor(
            [&] { return millisecondsBetween(from, Clock::now()) >= quiet && m_probe->quietFor(quiet); }, 20000);
        return m_probe->longestFreeze(from, Clock::now());
    }

    struct Search {
        double firstKey = 0;
        QList<double> laterKeys;
        double clear = 0;
    };

    Search typeSearch()
    {
        Search search;
        freeze([&] { m_keyboard.press(XK_f, {XK_Control_L}); });
        search.firstKey = freeze([&] { m_keyboard.press(XK_i); });
        for (const KeySym key : {XK_n, XK_v, XK_o})
            search.laterKeys.append(freeze([&] { m_keyboard.press(key); }));
        search.clear = freeze([&] {
            for (int i = 0; i < 4; ++i)
                m_keyboard.press(XK_BackSpace);
        });
        // Out of the search field, back to the list.
        m_keyboard.press(XK_Escape);
        settle();
        return search;
    }

    // Text left in the search field, the list showing its results.
    void typeIntoSearch(const QString& query)
    {
        m_keyboard.press(XK_f, {XK_Control_L});
        settle();
        DesktopSession::xdotool({"type", "--delay", "20", query});
        // The first Escape ends the typing and keeps the search.
        m_keyboard.press(XK_Escape);
        settle();
        m_query = query.size();
    }

    void clearSearch()
    {
        m_keyboard.press(XK_f, {XK_Control_L});
        settle();
        for (int i = 0; i < m_query; ++i)
            m_keyboard.press(XK_BackSpace);
        m_keyboard.press(XK_Escape);
        settle();
        m_query = 0;
    }

    void measureSearch()
    {
        const Search search = typeSearch();
        m_results.insert(QStringLiteral("firstKey"), fixed(search.firstKey));
        QStringList later;
        for (const double key : search.laterKeys)
            later.append(fixed(key));
        m_results.insert(QStringLiteral("laterKeys"), later.join(QStringLiteral(" / ")));
        m_results.insert(QStringLiteral("clearSearch"), fixed(search.clear));
    }

    // The same search typed again: a single key's freeze depends on what else the machine
    // does at that moment.
    void measureSearchAgain()
    {
        QList<double> first;
        QList<double> later;
        for (int round = 1; round < m_searches; ++round) {
            const Search search = typeSearch();
            first.append(search.firstKey);
            later.append(search.laterKeys);
        }
        m_results.insert(QStringLiteral("firstKeyAgain"), medianAndMax(first));
        m_results.insert(QStringLiteral("laterKeysAgain"), medianAndMax(later));
    }

    // What answering the probe's pings costs the program with nothing else to do, per second:
    // the CPU times taken while the probe runs (a saved edit's) include it.
    void measurePings(qint64 pid)
    {
        settle();
        const double from = VelmoraProgram::cpuMilliseconds(pid);
        const Clock::time_point started = Clock::now();
        DesktopSession::pause(2000);
        m_pingCpuPerSecond
            = (VelmoraProgram::cpuMilliseconds(pid) - from) / millisecondsBetween(started, Clock::now()) * 1000;
        m_results.insert(QStringLiteral("pingCpu"), fixed(m_pingCpuPerSecond));
    }

    struct SavedEdit {
        double freeze = 0;
        double cpu = 0;
        // From Return until the popover was quiet again: the time the CPU time was taken over.
        double elapsed = 0;
        // From Return until the library file was replaced, if it was.
        std::optional<double> written;
        // The CPU time from Return until every thread of the process was done (the write,
        // the encoding, the release of the list before the edit), answering pings excluded.
        double cpuUntilQuiet = 0;
    };

    // Waits, with the probe paused, until the process has taken less than a millisecond of
    // CPU time in 300 ms; its CPU time then.
    double cpuOnceQuiet(qint64 pid)
    {
        m_probe->setPaused(true);
        double last = VelmoraProgram::cpuMilliseconds(pid);
        const Clock::time_point until = Clock::now() + std::chrono::seconds(20);
        while (Clock::now() < until) {
            DesktopSession::pause(300);
            const double now = VelmoraProgram::cpuMilliseconds(pid);
            const bool quiet = now - last < 1;
            last = now;
            if (quiet)
                break;
        }
        m_probe->setPaused(false);
        return last;
    }

    // Ctrl+N, a trigger, Tab, an expansion, back to the trigger and Return, as the user saves a
    // new shortcut; the freeze from Return until the popover is quiet again, and when the
    // library file was replaced.
    enum class Edit {
        // A new shortcut, through Ctrl+N.
        add,
        // A shortcut added before, found by its trigger in the search, selected, its search
        // then cleared or left in the field, opened with Return and its text lengthened.
        change,
        changeSearched,
    };

    static QString benchTrigger(int edit) { return QStringLiteral(";bench%1").arg(edit, 3, 10, QLatin1Char('0')); }

    void typeText(const QString& text) { DesktopSession::xdotool({"type", "--delay", "4", text}); }

    // Opens the form of the shortcut added as edit number `edit`, from the list.
    void openAddedShortcut(int edit, bool keepSearch)
    {
        typeIntoSearch(benchTrigger(edit));
        m_keyboard.press(XK_Down);
        settle();
        // The selection stays when the search is cleared.
        if (!keepSearch)
            clearSearch();
        m_keyboard.press(XK_Return);
        settle();
    }

    SavedEdit saveEdit(qint64 pid, Edit kind = Edit::add)
    {
        const QString library
            = QDir(m_velmora.dataFolder()).filePath(LocalStore::fileName(LocalStore::Resource::library));
        if (kind == Edit::add) {
            const int edit = m_editsSaved++;
            m_keyboard.press(XK_n, {XK_Control_L});
            settle();
            typeText(benchTrigger(edit));
            m_keyboard.press(XK_Tab);
            typeText(QStringLiteral("Edited text number %1").arg(edit));
        } else {
            openAddedShortcut(m_changesSaved++ % std::max(1, m_editsSaved), kind == Edit::changeSearched);
            // The trigger's field has the keyboard; the text is lengthened.
            m_keyboard.press(XK_Tab);
            typeText(QStringLiteral(" changed"));
        }
        m_keyboard.press(XK_Tab, {XK_Shift_L});
        settle();
        const FileStamp before = stampOf(library);
        const double cpuBefore = VelmoraProgram::cpuMilliseconds(pid);
        const Clock::time_point returned = Clock::now();
        m_keyboard.press(XK_Return);
        std::optional<Clock::time_point> replaced;
        DesktopSession::waitFor(
            [&] {
                if (!(stampOf(library) == before))
                    replaced = Clock::now();
                return replaced.has_value();
            },
            5000);
        settle();
        SavedEdit saved;
        saved.freeze = m_probe->longestFreeze(returned, Clock::now());
        saved.cpu = VelmoraProgram::cpuMilliseconds(pid) - cpuBefore;
        saved.elapsed = millisecondsBetween(returned, Clock::now());
        if (replaced)
            saved.written = millisecondsBetween(returned, *replaced);
        // The pings answered until the interface was quiet are not the edit's.
        saved.cpuUntilQuiet = cpuOnceQuiet(pid) - cpuBefore - m_pingCpuPerSecond * saved.elapsed / 1000;
        if (kind == Edit::changeSearched)
            clearSearch();
        return saved;
    }

    static double median(QList<double> values)
    {
        std::sort(values.begin(), values.end());
        return values.isEmpty() ? 0.0 : values.at(values.size() / 2);
    }

    static QString medianAndMax(const QList<double>& values, int decimals = 1)
    {
        return fixed(median(values), decimals) + QStringLiteral(" (max ")
            + fixed(*std::max_element(values.cbegin(), values.cend()), decimals) + QStringLiteral(")");
    }

    // `flow` names the rows: "" for edits saved with the search field empty.
    void measureEdits(qint64 pid, const QString& flow, Edit kind = Edit::add)
    {
        QList<double> freezes;
        QList<double> written;
        QList<double> untilQuiet;
        double cpu = 0;
        double elapsed = 0;
        int notWritten = 0;
        for (int edit = 0; edit < m_edits; ++edit) {
            const SavedEdit saved = saveEdit(pid, kind);
            freezes.append(saved.freeze);
            untilQuiet.append(saved.cpuUntilQuiet);
            cpu += saved.cpu;
            elapsed += saved.elapsed;
            if (saved.written)
                written.append(*saved.written);
            else
                ++notWritten;
        }
        if (freezes.isEmpty())
            return;
        m_results.insert(QStringLiteral("save") + flow, medianAndMax(freezes));
        m_results.insert(QStringLiteral("saveCpu") + flow, fixed(cpu / m_edits, 0));
        m_results.insert(
            QStringLiteral("saveCpuPings") + flow, fixed(m_pingCpuPerSecond * elapsed / 1000 / m_edits, 0));
        m_results.insert(QStringLiteral("saveCpuQuiet") + flow, medianAndMax(untilQuiet, 0));
        m_results.insert(QStringLiteral("written") + flow,
            written.isEmpty() ? QStringLiteral("never")
                              : medianAndMax(written, 0)
                    + (notWritten > 0 ? QStringLiteral(", %1 not written").arg(notWritten) : QString()));
    }

    // The search typed again after the library changed, which is when whatever the search
    // keeps of the library has to follow the change: after the edits above, then (with
    // --searches N) after one more saved edit each time.
    void measureSearchAfterEdits(qint64 pid)
    {
        QList<double> first;
        QList<double> later;
        for (int round = 0; round < std::max(1, m_searches); ++round) {
            if (round > 0)
                saveEdit(pid);
            const Search search = typeSearch();
            first.append(search.firstKey);
            later.append(search.laterKeys);
        }
        m_results.insert(
            QStringLiteral("firstKeyAfterEdits"), first.size() == 1 ? fixed(first.first()) : medianAndMax(first));
        m_results.insert(QStringLiteral("laterKeysAfterEdits"), medianAndMax(later));
    }

    // The trigger typed into another application's line edit, as often as asked; the CPU time
    // the program spent, from the trigger's first key until the expansion is in the field and
    // the floater has gone.
    void measureExpansions(qint64 pid)
    {
        m_keyboard.press(XK_w, {XK_Control_L});
        settle();
        TextFieldsApp field;
        if (!field.start() || !field.focus(QStringLiteral("line"))) {
            m_probe->setPaused(false);
            m_results.insert(QStringLiteral("expansionCpu"), QStringLiteral("no field"));
            return;
        }
        DesktopSession::pause(500);
        m_probe->setPaused(true);
        // What the program spends with nothing to do, for comparison.
        const double idleFrom = VelmoraProgram::cpuMilliseconds(pid);
        DesktopSession::pause(3000);
        m_results.insert(QStringLiteral("idleCpu"), fixed((VelmoraProgram::cpuMilliseconds(pid) - idleFrom) / 3));
        int expanded = 0;
        double cpu = 0;
        // Each expansion on its own: the first ones also unlock achievements, whose banners
        // cost more than an expansion; the median is what an expansion costs without them.
        QList<double> each;
        // Each thread's share, by thread (the interface thread is the process's own id).
        QMap<QString, QList<double>> byThread;
        for (int i = 0; i < m_expansions; ++i) {
            field.setText(QStringLiteral("line"), QString());
            const double before = VelmoraProgram::cpuMilliseconds(pid);
            const auto threadsFrom = VelmoraProgram::threadMilliseconds(pid);
            DesktopSession::xdotool({"type", "--delay", "30", expansionTrigger});
            if (DesktopSession::waitFor([&] { return field.text(QStringLiteral("line")) == expansionText; }, 3000))
                ++expanded;
            // What follows an expansion (statistics, the floater) is part of its cost.
            DesktopSession::pause(m_expansionWindow);
            cpu += VelmoraProgram::cpuMilliseconds(pid) - before;
            // Threads that ended meanwhile (idle pool threads expire) take their time with them:
            // each thread still running counts what it spent since the expansion began.
            const auto threadsTo = VelmoraProgram::threadMilliseconds(pid);
            double total = 0;
            for (auto thread = threadsTo.cbegin(); thread != threadsTo.cend(); ++thread) {
                total += thread->milliseconds - threadsFrom.value(thread.key()).milliseconds;
                const QString name = thread.key() == pid ? QStringLiteral("interface")
                                                         : thread->name + u'/' + QString::number(thread.key());
                byThread[name].append(thread->milliseconds - threadsFrom.value(thread.key()).milliseconds);
            }
            each.append(total);
        }
        QStringList threadShares;
        for (auto thread = byThread.begin(); thread != byThread.end(); ++thread) {
            std::sort(thread->begin(), thread->end());
            if (thread->last() >= 0.05)
                threadShares.append(thread.key() + u' ' + fixed(thread->at(thread->size() / 2), 2) + u'('
                    + fixed(thread->first(), 2) + u'-' + fixed(thread->last(), 2) + u')');
        }
        m_results.insert(QStringLiteral("expansionThreads"), threadShares.join(QStringLiteral(", ")));
        std::sort(each.begin(), each.end());
        if (!each.isEmpty())
            m_results.insert(QStringLiteral("expansionCpuMedian"),
                fixed(each.at(each.size() / 2)) + QStringLiteral(" (") + fixed(each.first()) + QStringLiteral("-")
                    + fixed(each.last()) + QStringLiteral(")"));
        m_results.insert(QStringLiteral("expansionCpu"),
            expanded == 0 ? QStringLiteral("none expanded")
                          : fixed(cpu / expanded)
                    + (expanded < m_expansions ? QStringLiteral(" (%1 of %2 expanded)").arg(expanded).arg(m_expansions)
                                               : QString()));
    }

    VelmoraProgram m_velmora;
    int m_shortcuts;
    GeneratedLibrary::Words m_words;
    int m_edits;
    int m_expansions;
    // Milliseconds each expansion is given, counted in its CPU time.
    int m_expansionWindow;
    int m_searches;
    bool m_otherLayout;
    int m_editsSaved = 0;
    int m_changesSaved = 0;
    // The length of the search left in the field.
    qsizetype m_query = 0;
    double m_pingCpuPerSecond = 0;
    std::unique_ptr<PingProbe> m_probe;
    Keyboard m_keyboard;
    QMap<QString, QString> m_results;
};

struct Row {
    const char* key;
    const char* title;
};
const Row rows[] = {{"start", "start until the popover is on screen and answers (ms)"},
    {"startMapped", "start until the popover is mapped (ms)"}, {"startCpu", "CPU time until started (ms)"},
    {"memory", "memory after start (MB)"}, {"firstKey", "first search key: longest freeze (ms)"},
    {"laterKeys", "later keys (ms)"}, {"clearSearch", "clearing the search (ms)"},
    {"firstKeyAgain", "the search typed again: first key, median (max) (ms)"},
    {"laterKeysAgain", "the search typed again: later keys, median (max) (ms)"},
    {"memorySearched", "memory after the searches, before the edits (MB)"},
    {"save", "saved edit: longest freeze, median (max) (ms)"},
    {"written", "saved edit: file written after Return (ms)"},
    {"saveCpu", "saved edit: CPU time each, answering pings included (ms)"},
    {"pingCpu", "CPU answering pings while idle (ms per second)"},
    {"saveCpuPings", "saved edit: of its CPU time, answering pings at that rate (ms)"},
    {"saveCpuQuiet", "saved edit: CPU time until the process is quiet, pings excluded, median (max) (ms)"},
    {"memoryEdits", "memory 2 s after the edits (MB)"},
    {"saveSearched", "with a search in the field: longest freeze, median (max) (ms)"},
    {"writtenSearched", "with a search in the field: file written after Return (ms)"},
    {"saveCpuSearched", "with a search in the field: CPU time each, answering pings included (ms)"},
    {"saveCpuQuietSearched", "with a search in the field: CPU time until quiet, median (max) (ms)"},
    {"memoryEditsSearched", "memory 2 s after the edits with a search, twice as many edits in all (MB)"},
    {"saveChanged", "shortcut changed through its form: longest freeze, median (max) (ms)"},
    {"writtenChanged", "shortcut changed: file written after Return (ms)"},
    {"saveCpuQuietChanged", "shortcut changed: CPU time until quiet, median (max) (ms)"},
    {"saveChangedSearched", "changed with its search in the field: longest freeze, median (max) (ms)"},
    {"writtenChangedSearched", "changed with its search in the field: file written after Return (ms)"},
    {"saveCpuQuietChangedSearched", "changed with its search in the field: CPU time until quiet, median (max) (ms)"},
    {"memoryChanged", "memory 2 s after the changes, four times as many edits in all (MB)"},
    {"firstKeyAfterEdits", "first search key after edits: longest freeze (ms)"},
    {"laterKeysAfterEdits", "later keys after edits, median (max) (ms)"}, {"idleCpu", "CPU while idle (ms per second)"},
    {"expansionCpu", "CPU per expansion, its window (--window) with the floater included (ms)"},
    {"expansionThreads", "one expansion per thread, median (least-most) (ms)"},
    {"expansionCpuMedian", "the same, one expansion: median (least-most) (ms)"}, {"failed", "failed"}};

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{"app", "The velmora program to measure.", "path", QStringLiteral(VELMORA_PROGRAM)},
        {"sizes", "Library sizes, comma-separated.", "list", QStringLiteral("1000,10000,50000")},
        {"edits", "Saved edits per size.", "n", QStringLiteral("20")},
        {"expansions", "Expansions per size.", "n", QStringLiteral("10")},
        {"window",
            "Milliseconds from each expansion to the next, counted in its CPU time: 2600 holds the "
            "time-saved label's whole life.",
            "ms", QStringLiteral("1500")},
        {"searches",
            "Times the search is typed per size (the first as the user first types it), and after the edits (each "
            "time after one more saved edit).",
            "n", QStringLiteral("1")},
        {"other-layout", "Also start each size from its library laid out as another program writes JSON."},
        {"words",
            "The libraries' words, comma-separated: ascii, and mixed for the same library with words in other "
            "scripts.",
            "list", QStringLiteral("ascii")},
        {"rounds", "Times each column is measured, the columns taking turns.", "n", QStringLiteral("1")}});
    parser.process(application);
    if (const QString missing = DesktopSession::missingPieces(); !missing.isEmpty()) {
        std::printf("app scale benchmark: %s (run it inside scripts/with-desktop.sh)\n", qPrintable(missing));
        return 1;
    }
    QList<int> sizes;
    for (const QString& size : parser.value("sizes").split(u','))
        sizes.append(size.toInt());
    QList<QMap<QString, QString>> columns;
    QStringList titles;
    QList<GeneratedLibrary::Words> words;
    for (const QString& word : parser.value("words").split(u',')) {
        if (word != QLatin1String("ascii") && word != QLatin1String("mixed")) {
            std::printf("app scale benchmark: --words takes ascii and mixed\n");
            return 1;
        }
        words.append(word == QLatin1String("ascii") ? GeneratedLibrary::Words::ascii : GeneratedLibrary::Words::mixed);
    }
    const int rounds = std::max(1, parser.value("rounds").toInt());
    for (int round = 0; round < rounds; ++round) {
        for (const int size : sizes) {
            for (const GeneratedLibrary::Words kind : words) {
                for (const bool otherLayout : {false, true}) {
                    if (otherLayout && !parser.isSet("other-layout"))
                        continue;
                    Run run(parser.value("app"), size, kind, parser.value("edits").toInt(),
                        parser.value("expansions").toInt(), parser.value("window").toInt(),
                        parser.value("searches").toInt(), otherLayout);
                    columns.append(run.measure());
                    titles.append(QString::number(size) + QStringLiteral(" shortcuts")
                        + (words.size() > 1 ? (kind == GeneratedLibrary::Words::mixed ? QStringLiteral(", other scripts")
                                                                                        : QStringLiteral(", ASCII"))
                                            : QString())
                        + (otherLayout ? QStringLiteral(", another writer's layout") : QString())
                        + (rounds > 1 ? QStringLiteral(", run %1").arg(round + 1) : QString()));
                    std::fprintf(stderr, "app scale benchmark: %s measured\n", qPrintable(titles.last()));
                }
            }
        }
    }
    QTextStream out(stdout);
    out << "| the real application |";
    for (const QString& title : titles)
        out << ' ' << title << " |";
    out << "\n| --- |";
    for (qsizetype i = 0; i < titles.size(); ++i)
        out << " --- |";
    out << '\n';
    for (const Row& row : rows) {
        const QString key = QString::fromLatin1(row.key);
        // Rows of steps asked for only now and then.
        if ((key == QLatin1String("failed") || key.endsWith(QLatin1String("Again")))
            && std::none_of(columns.cbegin(), columns.cend(), [&](const auto& c) { return c.contains(key); }))
            continue;
        out << "| " << row.title << " |";
        for (const auto& column : columns)
            out << ' ' << column.value(key, QStringLiteral("-")) << " |";
        out << '\n';
    }
    return 0;
}
