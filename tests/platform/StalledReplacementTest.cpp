#include <gtest/gtest.h>

#include "DesktopSession.h"
#include "Engine/ExpansionReplacement.h"
#include "FakeTrayHost.h"
#include "TextFieldsApp.h"
#include "VelmoraProcess.h"
#include "platform/linux/X11KeyboardHold.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <csignal>

namespace {

const QString signature = QStringLiteral("Best regards, Anna");

// A process stopped with SIGSTOP until the guard goes.
class Stopped {
public:
    explicit Stopped(qint64 process)
        : m_process(process)
    {
        ::kill(pid_t(m_process), SIGSTOP);
    }
    ~Stopped() { ::kill(pid_t(m_process), SIGCONT); }
    Stopped(const Stopped&) = delete;
    Stopped& operator=(const Stopped&) = delete;

private:
    qint64 m_process;
};

// The velmora program expanding in one application while the replacement's partners stall:
// the field's application, the clipboard's owner, or velmora itself. Whatever stops, the rest
// of the desktop gets its keys again within about the replacement's limit.
class StalledReplacement : public ::testing::Test {
protected:
    // Stops last much longer than that bound, so that a keyboard held for a whole stop shows.
    static constexpr int stopMilliseconds = 8000;
    static constexpr double boundSeconds
        = ExpansionReplacement::longestSeconds + X11KeyboardHold::watchdogGraceSeconds + 1.5;

    void SetUp() override
    {
        if (QString missing = DesktopSession::missingPieces(); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        ASSERT_TRUE(QFileInfo(VelmoraProcess::programPath()).isExecutable()) << "build the velmora target first";
        ASSERT_TRUE(tray.start());
        velmora.writeDataFile(
            QStringLiteral("data.json"), VelmoraProcess::libraryWithShortcut(QStringLiteral("/sig"), signature));
        ASSERT_TRUE(velmora.start());
        ASSERT_TRUE(velmora.waitForPopover(true, 10000)) << "no popover on screen";
        ASSERT_TRUE(target.start());
        ASSERT_TRUE(other.start());
        // The engine works before any fault.
        ASSERT_TRUE(typeTrigger());
        ASSERT_TRUE(DesktopSession::waitFor([&] { return target.text("line") == "Hi " + signature; }, 5000))
            << target.text("line").toStdString();
        target.setText(QStringLiteral("line"), QString());
    }

    // Types a trigger into the target's field; its final key goes last and alone, so that a
    // stop right after it lands inside the replacement.
    bool typeTrigger()
    {
        if (!target.focus(QStringLiteral("line")) || !DesktopSession::focusWindowOf(target.processId()))
            return false;
        DesktopSession::pause(100);
        return DesktopSession::xdotool({"type", "--delay", "30", "Hi /si"}) && DesktopSession::xdotool({"key", "g"});
    }

    // Seconds from the first key typed into the other application's field until it shows one;
    // a key goes every 50 ms meanwhile, as someone typing on would send them.
    double secondsWithoutKeys()
    {
        other.setText(QStringLiteral("line"), QString());
        other.focus(QStringLiteral("line"));
        DesktopSession::focusWindowOf(other.processId());
        QElapsedTimer elapsed;
        elapsed.start();
        while (elapsed.elapsed() < stopMilliseconds - 500) {
            DesktopSession::xdotool({"key", "x"});
            if (DesktopSession::waitFor([&] { return !other.text(QStringLiteral("line")).isEmpty(); }, 50))
                break;
        }
        return elapsed.elapsed() / 1000.0;
    }

    double secondsWithoutKeysWhileStopped(qint64 process)
    {
        Stopped stopped(process);
        const double seconds = secondsWithoutKeys();
        RecordProperty("secondsWithoutKeys", QString::number(seconds).toStdString());
        return seconds;
    }

    FakeTrayHost tray;
    VelmoraProcess velmora;
    TextFieldsApp target;
    TextFieldsApp other;
};

TEST_F(StalledReplacement, aFieldThatStopsAnsweringHoldsOtherApplicationsKeysOnlyBriefly)
{
    ASSERT_TRUE(typeTrigger());
    EXPECT_LT(secondsWithoutKeysWhileStopped(target.processId()), boundSeconds);
}

TEST_F(StalledReplacement, aClipboardOwnerThatNeverAnswersHoldsNoKeys)
{
    TextFieldsApp owner;
    ASSERT_TRUE(owner.start());
    ASSERT_TRUE(owner.setClipboard({{"text/plain;charset=utf-8", "copied"}}));
    DesktopSession::pause(200);
    double seconds = 0;
    {
        Stopped stopped(owner.processId());
        ASSERT_TRUE(typeTrigger());
        seconds = secondsWithoutKeys();
        // Long enough for Qt to give up asking the owner.
        DesktopSession::pause(6000);
    }
    RecordProperty("secondsWithoutKeys", QString::number(seconds).toStdString());
    EXPECT_LT(seconds, boundSeconds);
    // Nothing replaced over a clipboard that could not be saved: the trigger stays, and the
    // owner's contents are still the clipboard.
    DesktopSession::pause(1500);
    EXPECT_EQ(target.text("line"), "Hi /sig");
    EXPECT_EQ(owner.clipboard(QStringLiteral("text/plain;charset=utf-8")).value("text/plain;charset=utf-8"), "copied");
}

TEST_F(StalledReplacement, velmoraStoppedMidReplacementLetsGoOfTheKeyboardAndExpandsAgainAfterwards)
{
    ASSERT_TRUE(typeTrigger());
    EXPECT_LT(secondsWithoutKeysWhileStopped(velmora.processId()), boundSeconds);

    // Once going again it holds and expands as before.
    DesktopSession::pause(1500);
    ASSERT_EQ(velmora.process().state(), QProcess::Running);
    target.setText(QStringLiteral("line"), QString());
    ASSERT_TRUE(typeTrigger());
    EXPECT_TRUE(DesktopSession::waitFor([&] { return target.text("line") == "Hi " + signature; }, 5000))
        << target.text("line").toStdString();
}

}
