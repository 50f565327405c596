// How the popover's main list keeps up with large libraries: generated libraries of 1,000,
// 10,000 and 50,000 shortcuts in 200 folders nested up to four deep (the first holding a
// tenth of them), with texts of 20 to 2,000 characters, shown through the real list
// offscreen. Each size runs in its own process, so the memory figure is that size's alone; a
// size whose run passes the time limit shows the steps it did not reach as "not run".
//
// What the user feels is how long the interface thread stops answering: a watcher thread
// sends it a ping every 2 ms and each step reports the longest wait for an answer, from the
// step's input until everything it started (a write, a redraw) has finished.
//
//   popover_scale_benchmark                run every size, print the table
//   popover_scale_benchmark <shortcuts>    run one size, print "step<TAB>value" lines

#include "App/State/AppState.h"
#include "App/State/PopoverCommands.h"
#include "GeneratedLibrary.h"
#include "Persistence/LocalStore.h"
#include "Utilities/HeapPolicy.h"
#include "Views/Components/GlassTextArea.h"
#include "Views/MenuBar/forms/ShortcutFormView.h"
#include "Views/MenuBar/list/FolderCard.h"
#include "Views/MenuBar/list/MainListView.h"
#include "Views/MenuBar/list/SearchBar.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMap>
#include <QProcess>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>

namespace {

// A size's run ends here; what it did not reach is reported as not run.
constexpr int runLimitSeconds = 300;

qint64 residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

QString memory()
{
    return QString::number(residentKilobytes() / 1024) + QStringLiteral(" MB");
}

void report(const char* step, const QString& value)
{
    std::printf("%s\t%s\n", step, qPrintable(value));
    std::fflush(stdout);
}

QString milliseconds(qint64 nanoseconds)
{
    return QString::number(double(nanoseconds) / 1e6, 'f', 1);
}

// Pings the interface thread from another thread and keeps the longest wait for an answer.
class FreezeMonitor {
public:
    FreezeMonitor()
        : m_thread([this] { run(); })
    {
    }
    ~FreezeMonitor()
    {
        m_running = false;
        m_thread.join();
    }
    void reset() { m_worst = 0; }
    qint64 worst() const { return m_worst; }

private:
    void run()
    {
        while (m_running) {
            const qint64 sent = m_clock.nsecsElapsed();
            QMetaObject::invokeMethod(
                qApp,
                [this, sent] {
                    const qint64 waited = m_clock.nsecsElapsed() - sent;
                    qint64 worst = m_worst;
                    while (waited > worst && !m_worst.compare_exchange_weak(worst, waited)) { }
                },
                Qt::QueuedConnection);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    QElapsedTimer m_clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    std::atomic<bool> m_running{true};
    std::atomic<qint64> m_worst{0};
    std::thread m_thread;
};

// Lets the step's events run and paints the list as the screen would, then waits, answering
// events, until the store has written everything and the last pings were answered.
void settle(QWidget& view, LocalStore& store)
{
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    view.grab();
    QElapsedTimer quiet;
    quiet.start();
    while (store.hasPendingWrites() || quiet.elapsed() < 30) {
        if (store.hasPendingWrites())
            quiet.restart();
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
    view.grab();
    QApplication::processEvents();
}

// Runs one step: its input, then settles. Reports the longest block of the interface thread.
template <class Step> qint64 measure(FreezeMonitor& monitor, QWidget& view, LocalStore& store, Step step)
{
    settle(view, store);
    monitor.reset();
    step();
    settle(view, store);
    return monitor.worst();
}

void runOneSize(int shortcuts)
{
    QTemporaryDir folder;
    // Only the large folder's id is kept: the generated library would count in the memory.
    QString largeFolderId;
    {
        const UserData generated = GeneratedLibrary::generate(shortcuts);
        largeFolderId = generated.groups.first().id;
        LocalStore seed(folder.path());
        seed.loadData();
        seed.loadSettings();
        seed.loadStats();
        seed.saveData(generated);
        while (seed.hasPendingWrites())
            QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QList<PopoverScreen> screens;
    const ScreenBinding binding([&] { return screens.isEmpty() ? PopoverScreen::main() : screens.last(); },
        [&](const PopoverScreen& screen) { screens.append(screen); });

    FreezeMonitor monitor;
    QElapsedTimer timer;
    timer.start();
    LocalStore store(folder.path());
    store.setBackgroundWrites(true);
    AppState state(store);
    PopoverCommands commands(
        state, PopoverCommands::WindowActions{.quit = [] {}, .closePopover = {}, .endEditing = {}, .typingText = {}});
    MainListView view(PopoverScreenContext{state, PopoverScreen::main(), binding, commands}, nullptr);
    view.resize(340, 560);
    view.show();
    QApplication::processEvents();
    view.grab();
    report("start", milliseconds(timer.nsecsElapsed()));
    // As the application does once it has started.
    HeapPolicy::trim();

    QLineEdit* search = view.searchBar()->field();
    report("firstKey", milliseconds(measure(monitor, view, store, [&] { QTest::keyClick(search, Qt::Key_I); })));
    QString further;
    for (const Qt::Key key : {Qt::Key_N, Qt::Key_V, Qt::Key_O}) {
        const qint64 block = measure(monitor, view, store, [&] { QTest::keyClick(search, key); });
        further += (further.isEmpty() ? QString() : QStringLiteral(" / ")) + milliseconds(block);
    }
    report("furtherKeys", further);
    report("memory", memory());
    report("clearSearch", milliseconds(measure(monitor, view, store, [&] {
        search->selectAll();
        QTest::keyClick(search, Qt::Key_Backspace);
    })));

    // Dragging the handle from the top to the bottom, a frame at a time.
    QScrollBar* bar = view.scrollArea()->verticalScrollBar();
    qint64 worstFrame = 0;
    for (int frame = 1; frame <= 30; ++frame) {
        worstFrame = std::max(worstFrame, measure(monitor, view, store, [&] {
            bar->setSliderPosition(bar->minimum() + qint64(bar->maximum() - bar->minimum()) * frame / 30);
        }));
    }
    report("scroll", milliseconds(worstFrame));
    bar->setValue(0);
    settle(view, store);

    FolderCard* large = nullptr;
    for (FolderCard* card : view.folderCards()) {
        if (card->group().id == largeFolderId)
            large = card;
    }
    if (!large)
        return;
    report("openFolder", milliseconds(measure(monitor, view, store, [&] { large->openFolder(); })));
    report("topLevel", milliseconds(measure(monitor, view, store, [&] { state.setCurrentGroupId(std::nullopt); })));

    // Thirteen edits of one shortcut through its form, as the user saves them.
    QString saves;
    qint64 worstSave = 0;
    for (int edit = 0; edit < 13; ++edit) {
        const Shortcut edited = state.userData().shortcuts[shortcuts / 2];
        ShortcutFormView form(state, edited);
        form.show();
        QApplication::processEvents();
        form.expansionArea()->setText(edited.expansion.toString() + QStringLiteral(" (edited)"));
        const qint64 block = measure(monitor, view, store, [&] { form.save(); });
        if (state.userData().shortcuts[shortcuts / 2].expansion == edited.expansion) {
            saves = QStringLiteral("not saved");
            break;
        }
        worstSave = std::max(worstSave, block);
        if (edit == 0)
            saves = milliseconds(block);
    }
    report("save",
        saves == QStringLiteral("not saved")
            ? saves
            : saves + QStringLiteral(" (worst of 13: ") + milliseconds(worstSave) + QStringLiteral(")"));
    report("memoryEdits", memory());

    state.updateSettings([](AppSettings& s) { s.confirmDelete = false; });
    report("deleteAll", milliseconds(measure(monitor, view, store, [&] {
        state.selectAll();
        state.deleteSelected();
    })));
    const bool deleted = state.userData().shortcuts.isEmpty();
    report("undoDelete", milliseconds(measure(monitor, view, store, [&] { state.undo(); })));
    if (!deleted || state.userData().shortcuts.size() != shortcuts)
        report("undoDelete", QStringLiteral("not deleted and restored"));
    report("memoryUndo", memory());
}

struct Step {
    const char* key;
    const char* title;
};
const Step steps[]
    = {{"start", "start until the list is drawn (ms)"}, {"firstKey", "first search key \"i\": longest block (ms)"},
        {"furtherKeys", "further keys \"n\" / \"v\" / \"o\" (ms)"}, {"memory", "memory after the search"},
        {"clearSearch", "clearing the search (ms)"}, {"scroll", "dragging the scroll handle: worst frame (ms)"},
        {"openFolder", "opening the folder of a tenth of the shortcuts (ms)"},
        {"topLevel", "back to the top level (ms)"}, {"save", "saving one edit: first (worst of 13) (ms)"},
        {"memoryEdits", "memory after 13 edits"}, {"deleteAll", "delete all (ms)"},
        {"undoDelete", "undo the deletion (ms)"}, {"memoryUndo", "memory after the undo"}};

int runAll(const QString& program)
{
    const QList<int> sizes = {1000, 10000, 50000};
    QList<QMap<QString, QString>> columns;
    for (const int size : sizes) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(program, {QString::number(size)});
        const bool finished = child.waitForFinished(runLimitSeconds * 1000);
        if (!finished) {
            child.kill();
            child.waitForFinished();
        }
        QMap<QString, QString> column;
        for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> parts = line.split('\t');
            if (parts.size() == 2)
                column.insert(QString::fromUtf8(parts[0]), QString::fromUtf8(parts[1]));
        }
        columns.append(column);
    }
    QTextStream out(stdout);
    out << "| step (longest block of the interface thread) | 1k shortcuts | 10k | 50k |\n| --- | --- | --- | --- |\n";
    for (const Step& step : steps) {
        out << "| " << step.title;
        for (const auto& column : columns)
            out << " | " << column.value(QString::fromLatin1(step.key), QStringLiteral("not run"));
        out << " |\n";
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    HeapPolicy::returnLargeBuffers();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 1) {
        runOneSize(QString::fromLocal8Bit(argv[1]).toInt());
        return 0;
    }
    return runAll(QCoreApplication::applicationFilePath());
}
