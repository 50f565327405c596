#include <gtest/gtest.h>

#include "DesktopSession.h"
#include "FakeTrayHost.h"
#include "Models/Stats.h"
#include "Models/UserData.h"
#include "Models/VelmoraJSON.h"
#include "TextFieldsApp.h"
#include "VelmoraProcess.h"
#include "WaylandSession.h"

#include <QFile>
#include <QFileInfo>

namespace {

const QString signature = QStringLiteral("Best regards, Anna");

QByteArray libraryWithSignature()
{
    UserData library = UserData::empty();
    Shortcut sig;
    sig.id = QStringLiteral("0B7E1D2C-4A5F-4E60-9B71-82C3D4E5F607");
    sig.trigger = QStringLiteral("/sig");
    sig.expansion = signature;
    library.shortcuts.append(sig);
    return VelmoraJSON::encode(library);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The velmora program started as on a Wayland desktop: native Wayland windows, XWayland there
// for others but not used.
class ApplicationOnWayland : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QString missing = WaylandSession::missingPieces(); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        ASSERT_TRUE(QFileInfo(VelmoraProcess::programPath()).isExecutable()) << "build the velmora target first";
        QProcessEnvironment wayland = WaylandSession::environment(WaylandSession::Client::nativeWayland);
        QProcessEnvironment overrides;
        for (const char* name : {"WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "QT_QPA_PLATFORM"})
            overrides.insert(QLatin1String(name), wayland.value(QLatin1String(name)));
        overrides.insert(QStringLiteral("DISPLAY"), qEnvironmentVariable("VELMORA_TEST_XWAYLAND_DISPLAY"));
        velmora.setEnvironment(overrides);
    }

    bool popoverShown() { return WaylandSession::showsWindowOf(velmora.processId()); }

    VelmoraProcess velmora;
};

TEST_F(ApplicationOnWayland, ShowsItsTrayItemAndPopoverAndExpandsIntoANativeApplication)
{
    FakeTrayHost tray;
    ASSERT_TRUE(tray.start());
    velmora.writeDataFile(QStringLiteral("data.json"), libraryWithSignature());
    ASSERT_TRUE(velmora.start());
    ASSERT_TRUE(DesktopSession::waitFor([&] { return !tray.itemOf(velmora.processId()).isEmpty(); }, 60000))
        << "no tray item registered";
    ASSERT_TRUE(DesktopSession::waitFor([&] { return popoverShown(); }, 60000)) << "no popover on screen";
    EXPECT_FALSE(WaylandSession::connectsToAnXServer(velmora.processId()))
        << "an X display is there (XWayland), but a Wayland session is not watched through it";

    TextFieldsApp fields;
    ASSERT_TRUE(fields.startProgram(QStringLiteral("/usr/bin/python3"), {QStringLiteral(VELMORA_GTK_FIELDS), "3"},
        WaylandSession::environment(WaylandSession::Client::nativeWayland)));
    WaylandSession::Keyboard keyboard;
    ASSERT_TRUE(keyboard.attach());
    ASSERT_TRUE(DesktopSession::waitFor([&] { return fields.state().value("active").toBool(); }, 60000));
    // The engine may still be starting: type until a trigger is expanded.
    bool expanded = false;
    for (int attempt = 0; attempt < 5 && !expanded; ++attempt) {
        ASSERT_TRUE(fields.setText(QStringLiteral("entry"), QString()));
        ASSERT_TRUE(keyboard.type(QStringLiteral("Hi /sig")));
        expanded
            = DesktopSession::waitFor([&] { return fields.text(QStringLiteral("entry")) == "Hi " + signature; }, 2000);
    }
    EXPECT_TRUE(expanded) << fields.text(QStringLiteral("entry")).toStdString();
    // Counts are written a couple of seconds after the expansion, once for a burst.
    EXPECT_TRUE(DesktopSession::waitFor(
        [&] {
            const QByteArray stats = readFile(velmora.dataFile("stats.json"));
            return !stats.isEmpty() && VelmoraJSON::decode<Stats>(stats).totalExpansions == 1;
        },
        10000));
}

TEST_F(ApplicationOnWayland, WithoutATrayThePopoverOpensOnStartAndOnEveryLaterStart)
{
    ASSERT_TRUE(velmora.start());
    ASSERT_TRUE(DesktopSession::waitFor([&] { return popoverShown(); }, 10000)) << "no popover on screen";
    // Another application takes the focus; the popover closes.
    TextFieldsApp fields;
    ASSERT_TRUE(fields.startProgram(QStringLiteral("/usr/bin/python3"), {QStringLiteral(VELMORA_GTK_FIELDS), "3"},
        WaylandSession::environment(WaylandSession::Client::nativeWayland)));
    WaylandSession::Keyboard keyboard;
    ASSERT_TRUE(keyboard.attach());
    ASSERT_TRUE(DesktopSession::waitFor([&] { return !popoverShown(); }, 10000));
    EXPECT_EQ(velmora.startAgain(), 0);
    EXPECT_TRUE(DesktopSession::waitFor([&] { return popoverShown(); }, 10000));
}

} // namespace
