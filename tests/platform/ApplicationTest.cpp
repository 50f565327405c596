#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

#include "AccessibleTree.h"
#include "BareXServer.h"
#include "DesktopSession.h"
#include "FakeTrayHost.h"
#include "Models/Stats.h"
#include "Models/UserData.h"
#include "Models/VelmoraJSON.h"
#include "TextFieldsApp.h"
#include "ProcessSignal.h"
#include "VelmoraProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

namespace {

const QString signature = QStringLiteral("Best regards, Anna");

#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#elif defined(__has_feature)
constexpr bool sanitized = __has_feature(address_sanitizer);
#else
constexpr bool sanitized = false;
#endif

QByteArray libraryWithSignature()
{
    return VelmoraProcess::libraryWithShortcut(QStringLiteral("/sig"), signature);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList labels(const QList<FakeTrayHost::MenuItem>& menu)
{
    QStringList result;
    for (const FakeTrayHost::MenuItem& item : menu) {
        result.append(item.properties.value(QStringLiteral("type")).toString() == QLatin1String("separator")
                ? QStringLiteral("--")
                : item.properties.value(QStringLiteral("label")).toString());
    }
    return result;
}

// The velmora program as a user starts it, on a desktop whose panel shows tray items.
class Application : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QString missing = DesktopSession::missingPieces(); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        ASSERT_TRUE(QFileInfo(VelmoraProcess::programPath()).isExecutable()) << "build the velmora target first";
        ASSERT_TRUE(tray.start());
    }

    // Starts velmora and waits for its tray item and its popover.
    void launch(const QStringList& arguments = {})
    {
        ASSERT_TRUE(velmora.start(arguments));
        ASSERT_TRUE(DesktopSession::waitFor([&] { return !tray.itemOf(velmora.processId()).isEmpty(); }, 60000))
            << "no tray item registered";
        item = tray.itemOf(velmora.processId());
        ASSERT_TRUE(velmora.waitForPopover(true, 60000)) << "no popover on screen";
    }

    bool typeInto(TextFieldsApp& app, const QString& field, const QString& text)
    {
        if (!app.focus(field))
            return false;
        DesktopSession::pause(100);
        return DesktopSession::xdotool({"type", "--delay", "40", text});
    }

    // "/sig" typed into another application on the session's display becomes the signature.
    void expectsTheSignatureTypedInto(TextFieldsApp& fields)
    {
        ASSERT_TRUE(fields.start());
        ASSERT_TRUE(typeInto(fields, QStringLiteral("line"), QStringLiteral("Hi /sig")));
        EXPECT_TRUE(DesktopSession::waitFor([&] { return fields.text(QStringLiteral("line")) == "Hi " + signature; }))
            << fields.text(QStringLiteral("line")).toStdString();
    }

    FakeTrayHost tray;
    VelmoraProcess velmora;
    QString item;
};

TEST_F(Application, StartsWithAnEmptyDataFolderShowingItsTrayItemAndPopover)
{
    launch();
    const std::optional<QRect> popover = velmora.popoverGeometry();
    ASSERT_TRUE(popover);
    EXPECT_EQ(popover->size(), QSize(340, 560));

    EXPECT_TRUE(QFileInfo(velmora.dataFolder()).isDir());
    EXPECT_EQ(
        QFileInfo(velmora.dataFolder()).permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
    ASSERT_TRUE(DesktopSession::waitFor([&] { return QFileInfo::exists(velmora.dataFile("stats.json")); }));
    const Stats stats = VelmoraJSON::decode<Stats>(readFile(velmora.dataFile("stats.json")));
    EXPECT_EQ(stats.totalExpansions, 0);
}

TEST_F(Application, ALeftClickOnTheTrayItemTogglesThePopover)
{
    launch();
    ASSERT_TRUE(tray.activate(item));
    EXPECT_TRUE(velmora.waitForPopover(false));
    ASSERT_TRUE(tray.activate(item));
    EXPECT_TRUE(velmora.waitForPopover(true));
}

TEST_F(Application, AClickElsewhereOnTheDesktopClosesThePopoverAndOneInsideDoesNot)
{
    launch();
    const QRect popover = *velmora.popoverGeometry();
    // The watch for clicks elsewhere starts once the popover is on screen.
    DesktopSession::pause(300);
    const QPoint inside = popover.center();
    ASSERT_TRUE(
        DesktopSession::xdotool({"mousemove", QString::number(inside.x()), QString::number(inside.y()), "click", "1"}));
    DesktopSession::pause(300);
    EXPECT_TRUE(velmora.popoverGeometry());

    const QPoint elsewhere = popover.left() > 100 ? QPoint(popover.left() - 50, 20) : QPoint(popover.right() + 50, 20);
    ASSERT_TRUE(DesktopSession::xdotool(
        {"mousemove", QString::number(elsewhere.x()), QString::number(elsewhere.y()), "click", "1"}));
    EXPECT_TRUE(velmora.waitForPopover(false));
}

TEST_F(Application, TheTraysMenuListsTheStatusItemsAndQuits)
{
    launch();
    const QList<FakeTrayHost::MenuItem> menu = tray.menu(item);
    EXPECT_EQ(labels(menu),
        (QStringList{"New Shortcut", "New Folder", "--", "Disable Expansion", "--", "0 expansions \u2022 0s saved",
            "--", "Replay Tutorial", "--", "Quit Velmora"}));
    ASSERT_EQ(menu.size(), 10);
    EXPECT_FALSE(menu.at(5).properties.value(QStringLiteral("enabled"), true).toBool());

    ASSERT_TRUE(tray.clickMenuEntry(item, menu.at(9).id));
    ASSERT_TRUE(velmora.waitForExit());
    EXPECT_EQ(velmora.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(velmora.process().exitCode(), 0);
}

TEST_F(Application, TheTraysNewFolderOpensTheFormReadyForTyping)
{
    launch();
    ASSERT_TRUE(tray.activate(item));
    ASSERT_TRUE(velmora.waitForPopover(false));
    DesktopSession::pause(500);
    const QList<FakeTrayHost::MenuItem> menu = tray.menu(item);
    ASSERT_GE(menu.size(), 2);
    ASSERT_TRUE(tray.clickMenuEntry(item, menu.at(1).id));
    ASSERT_TRUE(velmora.waitForPopover(true));
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] { return AccessibleTree::namesOf(velmora.processId()).contains(QStringLiteral("Choose folder icon")); },
        5000));
    // Typed where the keyboard is, as a user would, without clicking into the form first.
    ASSERT_TRUE(DesktopSession::xdotool({"type", "--delay", "40", "Trips"}));
    ASSERT_TRUE(DesktopSession::xdotool({"key", "Return"}));
    EXPECT_TRUE(
        DesktopSession::waitFor([&] { return readFile(velmora.dataFile("data.json")).contains("Trips"); }, 5000));
}

TEST_F(Application, TheTraysNewShortcutOverTheIconChooserBringsThePopoverUpWithTheDraftKept)
{
    launch();
    const auto shows = [&](const char* name) {
        return DesktopSession::waitFor(
            [&] { return AccessibleTree::namesOf(velmora.processId()).contains(QString::fromLatin1(name)); }, 5000);
    };
    ASSERT_TRUE(DesktopSession::xdotool({"key", "ctrl+shift+n"}));
    ASSERT_TRUE(shows("Choose folder icon"));
    ASSERT_TRUE(DesktopSession::xdotool({"type", "--delay", "40", "Trips"}));
    ASSERT_TRUE(AccessibleTree::press(velmora.processId(), QStringLiteral("Choose folder icon")));
    ASSERT_TRUE(shows("Upload"));

    const QList<FakeTrayHost::MenuItem> menu = tray.menu(item);
    ASSERT_GE(menu.size(), 2);
    ASSERT_TRUE(tray.clickMenuEntry(item, menu.at(0).id));
    DesktopSession::pause(500);
    EXPECT_TRUE(velmora.waitForPopover(true));
    EXPECT_TRUE(shows("Upload")) << "the chooser went";
    // The keys go to the chooser, and once it is closed the folder saves under the name typed.
    ASSERT_TRUE(DesktopSession::xdotool({"key", "Escape"}));
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] { return !AccessibleTree::namesOf(velmora.processId()).contains(QStringLiteral("Upload")); }, 5000));
    ASSERT_TRUE(AccessibleTree::press(velmora.processId(), QStringLiteral("Save")));
    EXPECT_TRUE(
        DesktopSession::waitFor([&] { return readFile(velmora.dataFile("data.json")).contains("Trips"); }, 5000));
}

TEST_F(Application, ExpandsATriggerTypedIntoAnotherApplicationAndCountsIt)
{
    velmora.writeDataFile(QStringLiteral("data.json"), libraryWithSignature());
    launch();
    TextFieldsApp fields;
    expectsTheSignatureTypedInto(fields);
    // Counts are written a couple of seconds after the expansion, once for a burst.
    EXPECT_TRUE(DesktopSession::waitFor(
        [&] {
            const QByteArray stats = readFile(velmora.dataFile("stats.json"));
            return !stats.isEmpty() && VelmoraJSON::decode<Stats>(stats).totalExpansions == 1;
        },
        10000));
    EXPECT_FALSE(velmora.popoverGeometry()) << "typing in another application closed the popover";
}

// Qt's X11 platform takes its display from -display; the keys, the selection and the clipboard
// keeper, which are Velmora's own connections, must go to that display too.
TEST_F(Application, RunsOnTheDisplayNamedOnTheCommandLineWithoutDISPLAY)
{
    const QString display = qEnvironmentVariable("DISPLAY");
    QProcessEnvironment unsetDisplay;
    unsetDisplay.insert(QStringLiteral("DISPLAY"), QString());
    velmora.setEnvironment(unsetDisplay);
    velmora.writeDataFile(QStringLiteral("data.json"), libraryWithSignature());
    launch({QStringLiteral("-display"), display});
    TextFieldsApp fields;
    expectsTheSignatureTypedInto(fields);
    EXPECT_EQ(velmora.clipboardKeeperDisplay(), display.toLocal8Bit());
}

TEST_F(Application, OpensTheDisplayNamedOnTheCommandLineInPlaceOfDISPLAYs)
{
    BareXServer other;
    if (!other.start())
        GTEST_SKIP() << "no second X server (Xvfb) to name in DISPLAY";
    const QString display = qEnvironmentVariable("DISPLAY");
    QProcessEnvironment otherDisplay;
    otherDisplay.insert(QStringLiteral("DISPLAY"), QString::fromLocal8Bit(other.display()));
    velmora.setEnvironment(otherDisplay);
    velmora.writeDataFile(QStringLiteral("data.json"), libraryWithSignature());
    // Qt's own spelling takes the value as the next argument; "=" is Velmora's too.
    launch({QStringLiteral("--display=") + display});
    TextFieldsApp fields;
    expectsTheSignatureTypedInto(fields);
    EXPECT_EQ(velmora.clipboardKeeperDisplay(), display.toLocal8Bit());
}

TEST_F(Application, TerminationSignalsQuitInOrderAndLeaveNoSocketOrLock)
{
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        launch();
        ASSERT_TRUE(QFileInfo::exists(velmora.runtimeFolder() + "/velmora.socket.lock"));
        TestSupport::signalPid(velmora.process().processId(), signal);
        ASSERT_TRUE(velmora.waitForExit(2000)) << signal;
        EXPECT_EQ(velmora.process().exitStatus(), QProcess::NormalExit) << signal;
        EXPECT_EQ(velmora.process().exitCode(), 0) << signal;
        EXPECT_TRUE(
            QDir(velmora.runtimeFolder()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).isEmpty())
            << QDir(velmora.runtimeFolder())
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .join(u' ')
                   .toStdString();
    }
}

// Opens Settings with the popover's own key and Export's save dialog from it.
void openExportDialog(VelmoraProcess& velmora)
{
    ASSERT_TRUE(DesktopSession::focusWindowOf(velmora.processId()));
    ASSERT_TRUE(DesktopSession::xdotool({"key", "ctrl+comma"}));
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] { return AccessibleTree::namesOf(velmora.processId()).contains(QStringLiteral("Export data")); }, 5000));
    ASSERT_TRUE(AccessibleTree::press(velmora.processId(), QStringLiteral("Export data")));
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] { return AccessibleTree::namesOf(velmora.processId()).contains(QStringLiteral("Save")); }, 5000))
        << AccessibleTree::namesOf(velmora.processId()).join(u'|').toStdString();
}

TEST_F(Application, QuitsOnATerminationSignalWhileExportsSaveDialogIsOpen)
{
    launch();
    openExportDialog(velmora);
    TestSupport::signalPid(velmora.process().processId(), SIGTERM);
    ASSERT_TRUE(velmora.waitForExit(2000));
    EXPECT_EQ(velmora.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(velmora.process().exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(velmora.runtimeFolder() + "/velmora.socket.lock"));
}

TEST_F(Application, QuitsOnATerminationSignalAfterExportsSaveDialogWasCancelled)
{
    launch();
    openExportDialog(velmora);
    ASSERT_TRUE(DesktopSession::xdotool({"key", "Escape"}));
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] { return !AccessibleTree::namesOf(velmora.processId()).contains(QStringLiteral("Save")); }, 5000));
    TestSupport::signalPid(velmora.process().processId(), SIGTERM);
    ASSERT_TRUE(velmora.waitForExit(2000));
    EXPECT_EQ(velmora.process().exitCode(), 0);
}

TEST_F(Application, ThePopoversQuitEndsTheProgram)
{
    launch();
    ASSERT_TRUE(DesktopSession::focusWindowOf(velmora.processId()));
    ASSERT_TRUE(DesktopSession::xdotool({"key", "ctrl+q"}));
    ASSERT_TRUE(velmora.waitForExit(2000));
    EXPECT_EQ(velmora.process().exitCode(), 0);
}

TEST_F(Application, AClickElsewhereLeavesThePopoverUpWhileItsSaveDialogIsOpen)
{
    launch();
    openExportDialog(velmora);
    const QRect popover = *velmora.popoverGeometry();
    const QPoint elsewhere = popover.left() > 100 ? QPoint(popover.left() - 50, 20) : QPoint(popover.right() + 50, 20);
    ASSERT_TRUE(DesktopSession::xdotool(
        {"mousemove", QString::number(elsewhere.x()), QString::number(elsewhere.y()), "click", "1"}));
    DesktopSession::pause(500);
    EXPECT_TRUE(velmora.popoverGeometry());
}

TEST_F(Application, QuitsOnTheFirstSignalAfterAnExpansionWithThePopoverOpenAndItsTreeWalked)
{
    velmora.writeDataFile(QStringLiteral("data.json"), libraryWithSignature());
    launch();
    TextFieldsApp fields;
    ASSERT_TRUE(fields.start());
    ASSERT_TRUE(typeInto(fields, QStringLiteral("line"), QStringLiteral("Hi /sig")));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return fields.text(QStringLiteral("line")) == "Hi " + signature; }));
    // Typing elsewhere closed the popover; a person reopens it a moment later.
    ASSERT_TRUE(velmora.waitForPopover(false));
    DesktopSession::pause(500);
    ASSERT_TRUE(tray.activate(item));
    ASSERT_TRUE(velmora.waitForPopover(true));
    EXPECT_FALSE(AccessibleTree::namesOf(velmora.processId()).isEmpty());
    TestSupport::signalPid(velmora.process().processId(), SIGTERM);
    ASSERT_TRUE(velmora.waitForExit(2000));
    EXPECT_EQ(velmora.process().exitCode(), 0);
}

TEST_F(Application, ASecondStartShowsTheRunningOnesPopoverAndEnds)
{
    launch();
    ASSERT_TRUE(tray.activate(item));
    ASSERT_TRUE(velmora.waitForPopover(false));
    // Qt hears that the application lost the keyboard a little after the popover is hidden;
    // a person's next start comes later than that.
    DesktopSession::pause(500);

    EXPECT_EQ(velmora.startAgain(), 0);
    EXPECT_TRUE(velmora.waitForPopover(true));
    EXPECT_EQ(velmora.process().state(), QProcess::Running);
}

TEST_F(Application, TheBrowsersReturnFromSignInBringsThePopoverForward)
{
    launch();
    ASSERT_TRUE(tray.activate(item));
    ASSERT_TRUE(velmora.waitForPopover(false));
    // Qt hears that the application lost the keyboard a little after the popover is hidden;
    // a person's next start comes later than that.
    DesktopSession::pause(500);

    EXPECT_EQ(velmora.startAgain({QStringLiteral("velmora://auth-callback?code=abc")}), 0);
    EXPECT_TRUE(velmora.waitForPopover(true));
    EXPECT_EQ(velmora.process().state(), QProcess::Running);
}

TEST_F(Application, WithADamagedLibraryItShowsTheRecoveryScreenAndNeverExpands)
{
    const QByteArray damaged = libraryWithSignature().left(60);
    velmora.writeDataFile(QStringLiteral("data.json"), damaged);
    launch();
    EXPECT_TRUE(DesktopSession::waitFor(
        [&] {
            return AccessibleTree::namesOf(velmora.processId()).contains(QStringLiteral("Let's reopen your library"));
        },
        5000))
        << AccessibleTree::namesOf(velmora.processId()).join(u'|').toStdString();

    TextFieldsApp fields;
    ASSERT_TRUE(fields.start());
    ASSERT_TRUE(typeInto(fields, QStringLiteral("line"), QStringLiteral("Hi /sig")));
    ASSERT_TRUE(DesktopSession::waitFor([&] { return fields.text(QStringLiteral("line")) == "Hi /sig"; }));
    DesktopSession::pause(1500);
    EXPECT_EQ(fields.text(QStringLiteral("line")), QStringLiteral("Hi /sig"));
    EXPECT_EQ(readFile(velmora.dataFile("data.json")), damaged);
    EXPECT_FALSE(QFileInfo::exists(velmora.dataFile("stats.json")));
}

TEST_F(Application, AFifoInPlaceOfTheLibraryStillStartsWithTheRecoveryScreen)
{
    ASSERT_TRUE(QDir().mkpath(velmora.dataFolder()));
    ASSERT_EQ(::mkfifo(QFile::encodeName(velmora.dataFile("data.json")).constData(), 0600), 0);
    launch();
    EXPECT_TRUE(DesktopSession::waitFor(
        [&] {
            return AccessibleTree::namesOf(velmora.processId()).contains(QStringLiteral("Let's reopen your library"));
        },
        5000));
}

TEST_F(Application, IdlesInLittleMemoryAndNoProcessorTime)
{
    launch();
    DesktopSession::pause(2500);
    const qint64 ticksBefore = velmora.cpuTicks();
    DesktopSession::pause(5000);
    const qint64 ticks = velmora.cpuTicks() - ticksBefore;
    const qint64 kilobytes = velmora.residentKilobytes();
    RecordProperty("idle_resident_kilobytes", int(kilobytes));
    RecordProperty("idle_cpu_ticks_in_5_seconds", int(ticks));
    std::printf("idle: %lld kB resident, %lld clock ticks of processor time in 5 s\n",
        static_cast<long long>(kilobytes), static_cast<long long>(ticks));
    EXPECT_GT(kilobytes, 0);
    // A sanitizer build keeps shadow memory and freed blocks around: its size says nothing.
    if (!sanitized) {
        EXPECT_LT(kilobytes, 80 * 1024);
    }
    // The same few events from the session's other applications cost a sanitizer build several
    // times as much (seen: 1 to 5 ticks there, none in a release build); a timer polling at idle
    // would cost far more than either.
    EXPECT_LE(ticks, sanitized ? 8 : 2);
}

} // namespace

namespace {

TEST(ApplicationWithoutTray, StillStartsAndShowsThePopover)
{
    if (QString missing = DesktopSession::missingPieces(); !missing.isEmpty())
        GTEST_SKIP() << missing.toStdString();
    VelmoraProcess velmora;
    ASSERT_TRUE(velmora.start());
    EXPECT_TRUE(velmora.waitForPopover(true, 10000));
}

// What a user who starts the program outside a desktop session reads, and that it ends on
// its own instead of crashing.
QString startWithout(
    const QStringList& unset, const QMap<QString, QString>& set, int& exitCode, const QStringList& arguments = {})
{
    QProcess velmora;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& name : unset)
        environment.remove(name);
    for (auto it = set.begin(); it != set.end(); ++it)
        environment.insert(it.key(), it.value());
    velmora.setProcessEnvironment(environment);
    velmora.start(VelmoraProcess::programPath(), arguments);
    if (!velmora.waitForFinished(10000) || velmora.exitStatus() != QProcess::NormalExit) {
        exitCode = -1;
        return {};
    }
    exitCode = velmora.exitCode();
    return QString::fromLocal8Bit(velmora.readAllStandardError());
}

TEST(ApplicationWithoutDisplay, SaysThatItNeedsADesktopSession)
{
    int exitCode = 0;
    const QString said = startWithout({"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}, {}, exitCode);
    EXPECT_EQ(exitCode, 1);
    EXPECT_TRUE(said.contains(QStringLiteral("Velmora needs a graphical desktop session"))) << said.toStdString();
}

TEST(ApplicationWithoutDisplay, SaysWhichDisplayItCouldNotOpen)
{
    int exitCode = 0;
    const QString said = startWithout({"WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}, {{"DISPLAY", ":4999"}}, exitCode);
    EXPECT_EQ(exitCode, 1);
    EXPECT_TRUE(said.contains(QStringLiteral("cannot open the X display \u201C:4999\u201D"))) << said.toStdString();
}

TEST(ApplicationWithoutDisplay, SaysWhichDisplayNamedOnTheCommandLineItCouldNotOpen)
{
    int exitCode = 0;
    const QString said =
        startWithout({"WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}, {}, exitCode, {QStringLiteral("-display"), ":4998"});
    EXPECT_EQ(exitCode, 1);
    EXPECT_TRUE(said.contains(QStringLiteral("cannot open the X display \u201C:4998\u201D"))) << said.toStdString();
}

// Qt takes -platform over QT_QPA_PLATFORM: a Wayland platform named there is looked for before
// Qt aborts on it, even with an X display at hand.
TEST(ApplicationWithoutDisplay, SaysWhichWaylandDisplayItCouldNotReachForAPlatformNamedOnTheCommandLine)
{
    if (QString missing = DesktopSession::missingDisplay(); !missing.isEmpty())
        GTEST_SKIP() << missing.toStdString();
    int exitCode = 0;
    const QString said = startWithout({"QT_QPA_PLATFORM"}, {{"WAYLAND_DISPLAY", "velmora-test-gone"}}, exitCode,
        {QStringLiteral("-platform"), QStringLiteral("wayland")});
    EXPECT_EQ(exitCode, 1);
    EXPECT_TRUE(said.contains(QStringLiteral("cannot reach the Wayland display \u201Cvelmora-test-gone\u201D")))
        << said.toStdString();
}

} // namespace
