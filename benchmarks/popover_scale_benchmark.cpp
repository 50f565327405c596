// How the popover's main list keeps up with large libraries: generated libraries of 1,000,
// 10,000 and 50,000 shortcuts in 200 folders nested up to four deep, with texts of 20 to
// 2,000 characters, shown through the real list offscreen. Each size runs in its own
// process, so the memory figure is that size's alone; a size whose run passes the time
// limit shows the steps it did not reach as "not run".
//
//   popover_scale_benchmark                run every size, print the table
//   popover_scale_benchmark <shortcuts>    run one size, print "step<TAB>value" lines

#include "App/State/AppState.h"
#include "App/State/PopoverCommands.h"
#include "Persistence/LocalStore.h"
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
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <cstdio>
#include <memory>
#include <random>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

constexpr int folderCount = 200;
constexpr int maxDepth = 4;
// A size's run ends here; what it did not reach is reported as not run.
constexpr int runLimitSeconds = 300;

const QStringList words = {QStringLiteral("invoice"), QStringLiteral("thanks"), QStringLiteral("patient"),
    QStringLiteral("Regards"), QStringLiteral("meeting"), QStringLiteral("schedule"), QStringLiteral("the"),
    QStringLiteral("with"), QStringLiteral("please"), QStringLiteral("Monday"), QStringLiteral("address"),
    QStringLiteral("order"), QStringLiteral("shipping"), QStringLiteral("refund"), QStringLiteral("a"),
    QStringLiteral("to"), QStringLiteral("support"), QStringLiteral("follow-up"), QStringLiteral("dose"),
    QStringLiteral("translation"), QStringLiteral("and"), QStringLiteral("of"), QStringLiteral("ticket")};

UserData generateLibrary(int shortcuts)
{
    std::mt19937 random(20261207);
    UserData data = UserData::empty();
    QList<int> depth;
    for (int f = 0; f < folderCount; ++f) {
        Group folder;
        folder.id = QStringLiteral("F0000000-0000-4000-8000-%1").arg(f, 12, 10, QLatin1Char('0'));
        folder.name = QStringLiteral("%1 %2").arg(words[f % words.size()]).arg(f);
        folder.visibility = QStringLiteral("private");
        int level = 1;
        if (f >= 12) {
            int parent = int(random() % f);
            while (depth[parent] >= maxDepth)
                parent = int(random() % f);
            folder.parentGroupId = data.groups[parent].id;
            level = depth[parent] + 1;
        }
        folder.order = f;
        depth.append(level);
        data.groups.append(folder);
    }
    for (int i = 0; i < shortcuts; ++i) {
        Shortcut shortcut;
        shortcut.id = QStringLiteral("5C000000-0000-4000-8000-%1").arg(i, 12, 10, QLatin1Char('0'));
        shortcut.trigger = QStringLiteral(";%1%2").arg(words[i % words.size()].left(3)).arg(i);
        const int length = 20 + int(random() % 1981);
        QString text;
        text.reserve(length + 16);
        while (text.size() < length) {
            text += words[random() % words.size()];
            text += random() % 12 == 0 ? QStringLiteral(".\n") : QStringLiteral(" ");
        }
        text.truncate(length);
        shortcut.expansion = text;
        const int place = int(random() % (folderCount + 1));
        if (place < folderCount)
            shortcut.groupId = data.groups[place].id;
        shortcut.order = i;
        data.shortcuts.append(shortcut);
    }
    return data;
}

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

void report(const char* step, const QString& value)
{
    std::printf("%s\t%s\n", step, qPrintable(value));
    std::fflush(stdout);
}

// Lets the step's events run, then paints the list as the screen would.
void drawn(QWidget& view)
{
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    view.grab();
}

QString milliseconds(const QElapsedTimer& timer)
{
    return QString::number(timer.nsecsElapsed() / 1e6, 'f', 1);
}

void runOneSize(int shortcuts)
{
    QTemporaryDir folder;
    {
        LocalStore seed(folder.path());
        seed.loadData();
        seed.loadSettings();
        seed.loadStats();
        seed.saveData(generateLibrary(shortcuts));
    }
    QList<PopoverScreen> screens;
    const ScreenBinding binding([&] { return screens.isEmpty() ? PopoverScreen::main() : screens.last(); },
        [&](const PopoverScreen& screen) { screens.append(screen); });

    QElapsedTimer timer;
    timer.start();
    LocalStore store(folder.path());
    AppState state(store);
    PopoverCommands commands(state, PopoverCommands::WindowActions{.quit = [] {}, .closePopover = {}, .endEditing = {}});
    MainListView view(PopoverScreenContext{state, PopoverScreen::main(), binding, commands}, nullptr);
    view.resize(340, 560);
    view.show();
    drawn(view);
    report("start", milliseconds(timer));
#ifdef __GLIBC__
    // As the application does once it has started.
    malloc_trim(0);
#endif

    QLineEdit* search = view.searchBar()->field();
    timer.restart();
    QTest::keyClick(search, Qt::Key_I);
    drawn(view);
    report("firstKey", milliseconds(timer));

    QString further;
    for (const Qt::Key key : {Qt::Key_N, Qt::Key_V, Qt::Key_O}) {
        timer.restart();
        QTest::keyClick(search, key);
        drawn(view);
        further += (further.isEmpty() ? QString() : QStringLiteral(" / ")) + milliseconds(timer);
    }
    report("furtherKeys", further);
    report("memory", QString::number(residentKilobytes() / 1024) + QStringLiteral(" MB"));

    timer.restart();
    search->selectAll();
    QTest::keyClick(search, Qt::Key_Backspace);
    drawn(view);
    report("clearSearch", milliseconds(timer));

    const QList<FolderCard*> folders = view.folderCards();
    if (folders.isEmpty())
        return;
    timer.restart();
    folders.first()->openFolder();
    drawn(view);
    report("openFolder", milliseconds(timer));

    timer.restart();
    state.setCurrentGroupId(std::nullopt);
    drawn(view);
    report("topLevel", milliseconds(timer));

    const Shortcut edited = state.userData().shortcuts[shortcuts / 2];
    ShortcutFormView form(state, edited);
    form.show();
    QApplication::processEvents();
    form.expansionArea()->setText(edited.expansion + QStringLiteral(" (edited)"));
    timer.restart();
    form.save();
    drawn(view);
    const bool saved = state.userData().shortcuts[shortcuts / 2].expansion != edited.expansion;
    report("save", saved ? milliseconds(timer) : QStringLiteral("not saved"));
}

struct Step {
    const char* key;
    const char* title;
};
const Step steps[] = {{"start", "start until the list is drawn (ms)"}, {"firstKey", "first search key \"i\" (ms)"},
    {"furtherKeys", "further keys \"n\" / \"v\" / \"o\" (ms)"}, {"memory", "memory after the search"},
    {"clearSearch", "clearing the search (ms)"}, {"openFolder", "opening a folder (ms)"},
    {"topLevel", "back to the top level (ms)"}, {"save", "saving one edited shortcut (ms)"}};

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
    out << "| step | 1k shortcuts | 10k | 50k |\n| --- | --- | --- | --- |\n";
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
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 1) {
        runOneSize(QString::fromLocal8Bit(argv[1]).toInt());
        return 0;
    }
    return runAll(QCoreApplication::applicationFilePath());
}
