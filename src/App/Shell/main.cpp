#include "App/Shell/VelmoraApp.h"
#include "Views/Components/AccessibleRoles.h"
#include "platform/linux/DisplayAvailability.h"
#include "platform/linux/X11ClipboardKeeper.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

// The options Qt's application object takes for itself (QCoreApplication, QGuiApplication,
// QApplication, the X11 platform and the X11 options Qt has long documented), with one dash or
// two, a value after them or after "=". They are not ours to refuse, and the value after one is
// not an argument of ours: "-title --x" names a window "--x".
struct QtOption {
    const char* name;
    bool takesValue;
};
constexpr QtOption qtOwnOptions[] = {{"platform", true}, {"platformpluginpath", true}, {"platformtheme", true},
    {"plugin", true}, {"qmljsdebugger", true}, {"qwindowgeometry", true}, {"qwindowicon", true},
    {"qwindowtitle", true}, {"reverse", false}, {"session", true}, {"style", true}, {"stylesheet", true},
    {"widgetcount", false}, {"testability", false}, {"display", true}, {"geometry", true}, {"title", true},
    {"icon", true}, {"name", true}, {"visual", true}, {"ncols", true}, {"cmap", false}, {"sync", false},
    {"nograb", false}, {"dograb", false}, {"dialogs", true}, {"fontengine", true}};

void knowQtOptions(QCommandLineParser& parser)
{
    for (const QtOption& qt : qtOwnOptions) {
        QCommandLineOption option(QString::fromLatin1(qt.name));
        if (qt.takesValue)
            option.setValueName(QStringLiteral("value"));
        // --help-all lists Qt's options in Qt's own words.
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

// What the command line asks before the application object exists.
struct CommandLine {
    // Set when the command line is answered or refused here: the exit status.
    std::optional<int> exitStatus;
    // The values of Qt's -display and -platform, empty when not given.
    QByteArray display;
    QByteArray platform;
};

// Answers --help, --help-all and --version, which need no display and start nothing, and
// refuses an option that neither Velmora nor Qt knows (status 2, as command-line tools do);
// otherwise leaves the arguments, Qt's own options and a "velmora:" link among them, to the
// application, and reads the display and platform they name.
CommandLine readCommandLine(int& argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QCommandLineParser parser;
    // Qt's options are single-dash words (-reverse, -stylesheet): read as clusters of letters,
    // they would hold -v or -h.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral("Velmora expands short triggers into longer text as you type "
                                                    "in other applications. It lives in the system tray."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("velmora-url"),
        QStringLiteral("An address in Velmora's own scheme, as the browser passes it back after sign-in; "
                       "it is handed to the running Velmora."),
        QStringLiteral("[velmora-url]"));
    knowQtOptions(parser);
    // A Qt option without its value fails the parse and is left to Qt, which ignores it; the
    // options asked about are recognised all the same.
    parser.parse(arguments);
    const bool helpAll = parser.isSet(QStringLiteral("help-all"));
    QStringList unknown;
    for (const QString& name : parser.unknownOptionNames()) {
        if (name != QLatin1String(X11ClipboardKeeper::giveBackArgument).mid(2))
            unknown.append(name);
    }
    if (!unknown.isEmpty() && !parser.isSet(help) && !helpAll) {
        std::fprintf(stderr, "velmora: Unknown option '%s'.\nTry 'velmora --help' for the options.\n",
            qPrintable(unknown.first()));
        return {2, {}, {}};
    }
    if (!parser.isSet(help) && !helpAll && !parser.isSet(version)) {
        return {std::nullopt, parser.value(QStringLiteral("display")).toLocal8Bit(),
            parser.value(QStringLiteral("platform")).toLocal8Bit()};
    }
    // The help text names the program, which takes an application object. Qt adds its own
    // options to the full help only for an application of the kind that takes them, which
    // the offscreen platform builds without a display; the plain help needs only the core.
    int applicationArgc = 1;
    std::optional<QCoreApplication> core;
    std::optional<QApplication> gui;
    if (helpAll) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        gui.emplace(applicationArgc, argv);
    } else {
        core.emplace(applicationArgc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("velmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    if (helpAll)
        parser.process(QStringList{arguments.first(), QStringLiteral("--help-all")}); // prints and exits
    const QString text = parser.isSet(help)
        ? parser.helpText()
        : QStringLiteral("Velmora %1\n").arg(QCoreApplication::applicationVersion());
    std::fputs(qPrintable(text), stdout);
    return {0, {}, {}};
}

} // namespace

int main(int argc, char** argv)
{
    const CommandLine commandLine = readCommandLine(argc, argv);
    if (commandLine.exitStatus)
        return *commandLine.exitStatus;
    // Qt's X11 platform connects to the display -display names, while the probe below, the X
    // connections of our own and the clipboard keeper started later all open DISPLAY's: named
    // there, it is the one display for all of them, and for the programs Velmora starts (the
    // browser for sign-in), as GTK's --display does for what it launches. An empty name is
    // Xlib's "the default display".
    if (!commandLine.display.isEmpty())
        qputenv("DISPLAY", commandLine.display);
    // Without a display Qt would end the process with an abort; say what is missing instead.
    if (const QString reason = DisplayAvailability::missingDisplayReason(commandLine.platform);
        !reason.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(reason));
        // A display named on the command line was chosen on purpose: the name is what to check.
        if (commandLine.display.isEmpty())
            std::fputs("Start Velmora from a graphical desktop session.\n", stderr);
        return 1;
    }
    // Started by the clipboard keeper, to stand by for this program ending mid-replacement.
    if (argc == 2 && std::strcmp(argv[1], X11ClipboardKeeper::giveBackArgument) == 0) {
        DisplayAvailability::releaseProbe();
        return X11ClipboardKeeper::giveBack(argc, argv);
    }
    // A Wayland display left named by an ended session: the X display it runs beside is used.
    // Set only while the application connects, so that programs it starts do not inherit it.
    const bool overridePlatform = DisplayAvailability::waylandDisplayGone();
    if (overridePlatform)
        qputenv("QT_QPA_PLATFORM", "xcb");
    AccessibleRoles::exposePopups();
    VelmoraApp app(argc, argv);
    if (overridePlatform)
        qunsetenv("QT_QPA_PLATFORM");
    DisplayAvailability::releaseProbe();
    return app.exec();
}
