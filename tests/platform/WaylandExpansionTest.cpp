#include "LibraryFixtures.h"
#include <gtest/gtest.h>

#include "AccessibleTree.h"
#include "DesktopSession.h"
#include "Engine/FieldTypingFollower.h"
#include "Engine/TextExpansionEngine.h"
#include "Models/Shortcut.h"
#include "ProcessSignal.h"
#include "TextFieldsApp.h"
#include "VelmoraProcess.h"
#include "WaylandSession.h"
#include "platform/Accessibility.h"
#include "platform/AccessibilityTrust.h"
#include "platform/AccessibleElement.h"
#include "platform/linux/LinuxDesktop.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <iostream>
#include <tuple>

namespace {

const QString signature = QStringLiteral("Best regards, Anna");
const QString address = QStringLiteral("12 Long Road\nSpringfield");
// Each toolkit reads the length of an insertion in its own unit: only for plain ASCII do they agree.
const QString greeting = QStringLiteral("Grüße, Zoë – 😀 ✓");
const QString letter = QStringLiteral("Liebe Zoë,\n\nbis bald 👋🏽\n– Anna");

using WaylandSession::Client;
using WaylandSession::Compositor;

// What typing `typed` may leave in a field: each trigger expanded or (a check that could not be
// made in time) left as typed, and every key in the order typed; the last with every trigger expanded.
QStringList soundResults(const QString& typed, const QList<std::pair<QString, QString>>& triggers)
{
    QStringList results{typed};
    for (const auto& [trigger, expansion] : triggers) {
        for (const QString& result : QStringList(results))
            results.append(QString(result).replace(trigger, expansion));
    }
    return results;
}

// The engine on a Wayland session: no key is watched and nothing is pasted; it follows what the
// fields of applications running in a headless compositor report, and edits them by offsets.
// The keys come from the compositor's virtual keyboard, as a user's would. Every test runs under
// sway and under GNOME's mutter.
class WaylandExpansion : public ::testing::TestWithParam<Compositor> {
protected:
    void SetUp() override
    {
        if (QString missing = WaylandSession::missingPieces(GetParam()); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        desktop = std::make_unique<LinuxDesktop>(SessionType::wayland);
        ASSERT_TRUE(desktop->desktop().trust->isProcessTrusted())
            << desktop->desktop().trust->untrustedReason().toStdString();
        engine = std::make_unique<TextExpansionEngine>(desktop->desktop());
        engine->start({LibraryFixtures::expanding("/sig", signature), LibraryFixtures::expanding(";addr", address),
                          LibraryFixtures::expanding(";gr", greeting), LibraryFixtures::expanding(";ml", letter),
                          LibraryFixtures::expanding("/a", "AAA"), LibraryFixtures::expanding("/b", "BBB")},
            [this](const QString& trigger, const QString& expansion, const QString&) {
                expansions.append({trigger, expansion});
            });
        ASSERT_TRUE(engine->isRunning());
    }

    void TearDown() override
    {
        if (engine)
            engine->stop();
    }

    bool startGtk(int version, Client client)
    {
        return app.startProgram(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(VELMORA_GTK_FIELDS), QString::number(version)},
            WaylandSession::environment(client, GetParam()));
    }

    bool startQt()
    {
        return app.startProgram(
            QStringLiteral(VELMORA_TEXT_FIELDS), {}, WaylandSession::environment(Client::nativeWayland, GetParam()));
    }

    // Gives the field the keyboard, and makes sure keys reach it: the compositor gives a window
    // the keyboard once there is a keyboard, and may drop the first keys of a new one until the
    // application has its keymap. A key typed must show in the field before the test begins.
    bool focus(const QString& field)
    {
        if (!keyboard.attach() || !DesktopSession::waitFor([&] { return app.state().value("active").toBool(); }, 60000)
            || !app.focus(field))
            return false;
        bool arrived = false;
        for (int attempt = 0; attempt < 5 && !arrived; ++attempt)
            arrived
                = keyboard.type("x") && DesktopSession::waitFor([&] { return app.text(field).contains("x"); }, 1000);
        return arrived && app.setText(field, QString()) && fieldBecomes(field, QString());
    }

    bool fieldBecomes(const QString& field, const QString& text)
    {
        return DesktopSession::waitFor([&] { return app.text(field) == text; }, 5000);
    }

    bool expanded(qsizetype count)
    {
        return DesktopSession::waitFor([&] { return expansions.size() == count; }, 5000);
    }

    void expectExactExpansions(const QString& line, const QString& lines);

    void expectTypedIntoTheMiddle(const QString& field)
    {
        ASSERT_TRUE(focus(field));
        ASSERT_TRUE(app.setText(field, "AB CD") && fieldBecomes(field, "AB CD") && app.setCursor(field, 3));
        const QString typed = QStringLiteral("/sig ok");
        const QStringList sound = soundResults(typed, {{"/sig", signature}});
        ASSERT_TRUE(keyboard.type(typed, 20));
        fieldBecomes(field, "AB " + sound.last() + "CD");
        DesktopSession::pause(500);
        const QString result = app.text(field);
        EXPECT_TRUE(
            result.startsWith("AB ") && result.endsWith("CD") && sound.contains(result.mid(3, result.size() - 5)))
            << result.toStdString();
    }

    std::unique_ptr<LinuxDesktop> desktop;
    std::unique_ptr<TextExpansionEngine> engine;
    TextFieldsApp app;
    WaylandSession::Keyboard keyboard{GetParam()};
    QList<std::pair<QString, QString>> expansions;
};

TEST_P(WaylandExpansion, aTriggerInANativeGtk3EntryIsReplacedAndTypingGoesOnBehindIt)
{
    ASSERT_TRUE(startGtk(3, Client::nativeWayland));
    ASSERT_TRUE(focus("entry"));
    ASSERT_TRUE(keyboard.type("Hi /sig"));
    ASSERT_TRUE(fieldBecomes("entry", "Hi " + signature)) << app.text("entry").toStdString();
    ASSERT_TRUE(expanded(1));
    EXPECT_EQ(expansions.first(), std::pair(QStringLiteral("/sig"), signature));
    ASSERT_TRUE(keyboard.type(" and /sig"));
    EXPECT_TRUE(fieldBecomes("entry", "Hi " + signature + " and " + signature)) << app.text("entry").toStdString();
}

TEST_P(WaylandExpansion, aMultiLineExpansionLandsInANativeGtk3TextView)
{
    ASSERT_TRUE(startGtk(3, Client::nativeWayland));
    ASSERT_TRUE(focus("view"));
    ASSERT_TRUE(keyboard.type("To: ;addr"));
    ASSERT_TRUE(fieldBecomes("view", "To: " + address)) << app.text("view").toStdString();
    ASSERT_TRUE(keyboard.type(" ok"));
    EXPECT_TRUE(fieldBecomes("view", "To: " + address + " ok")) << app.text("view").toStdString();
}

TEST_P(WaylandExpansion, aGtk4EntryExpandsWhileOneThatHidesItsTextIsLeftAsTyped)
{
    // GTK 4.8 shows an entry that hides its text exactly as this one, and reports every key
    // typed into either: only what the field draws tells them apart. The keys typed on after the
    // trigger pass the engine after the trigger did: by the time they show, a replacement would
    // have been made.
    ASSERT_TRUE(startGtk(4, Client::nativeWayland));
    ASSERT_TRUE(focus("entry"));
    ASSERT_TRUE(keyboard.type("Yes /sig and more"));
    EXPECT_TRUE(fieldBecomes("entry", "Yes " + signature + " and more")) << app.text("entry").toStdString();
    ASSERT_TRUE(expanded(1));
    ASSERT_TRUE(app.focus("password"));
    ASSERT_TRUE(keyboard.type("/sig and more"));
    ASSERT_TRUE(fieldBecomes("password", "/sig and more"));
    EXPECT_EQ(expansions.size(), 1);
}

TEST_P(WaylandExpansion, aGtk4TextViewThatReportsItsInsertionsBehindExpandsInPlace)
{
    // GTK 4.8 text views report each insertion one place before it, and the caret as it stood
    // before it.
    ASSERT_TRUE(startGtk(4, Client::nativeWayland));
    ASSERT_TRUE(focus("view"));
    ASSERT_TRUE(keyboard.type("To: ;addr"));
    ASSERT_TRUE(fieldBecomes("view", "To: " + address)) << app.text("view").toStdString();
    ASSERT_TRUE(keyboard.type(" ok /sig"));
    EXPECT_TRUE(fieldBecomes("view", "To: " + address + " ok " + signature)) << app.text("view").toStdString();
}

TEST_P(WaylandExpansion, aTriggerInANativeQtLineEditIsReplaced)
{
    ASSERT_TRUE(startQt());
    ASSERT_TRUE(focus("line"));
    ASSERT_TRUE(keyboard.type("Hi /sig"));
    ASSERT_TRUE(fieldBecomes("line", "Hi " + signature)) << app.text("line").toStdString();
    ASSERT_TRUE(keyboard.type(" ok"));
    EXPECT_TRUE(fieldBecomes("line", "Hi " + signature + " ok")) << app.text("line").toStdString();
}

TEST_P(WaylandExpansion, aMultiLineExpansionLandsInANativeQtTextEdit)
{
    ASSERT_TRUE(startQt());
    ASSERT_TRUE(focus("area"));
    ASSERT_TRUE(keyboard.type("To: ;addr"));
    ASSERT_TRUE(fieldBecomes("area", "To: " + address)) << app.text("area").toStdString();
    ASSERT_TRUE(keyboard.type(" ok"));
    EXPECT_TRUE(fieldBecomes("area", "To: " + address + " ok")) << app.text("area").toStdString();
}

TEST_P(WaylandExpansion, aTriggerInAGtk3EntryUnderXWaylandIsReplaced)
{
    if (GetParam() != Compositor::sway || qEnvironmentVariableIsEmpty("VELMORA_TEST_XWAYLAND_DISPLAY"))
        GTEST_SKIP() << "the compositor started no XWayland (mutter runs without; for sway the xwayland package is "
                        "missing)";
    ASSERT_TRUE(startGtk(3, Client::xwayland));
    ASSERT_TRUE(focus("entry"));
    ASSERT_TRUE(keyboard.type("Hi /sig"));
    ASSERT_TRUE(fieldBecomes("entry", "Hi " + signature)) << app.text("entry").toStdString();
    ASSERT_TRUE(expanded(1));
}

TEST_P(WaylandExpansion, aPasswordFieldIsNeverExpandedInto)
{
    ASSERT_TRUE(startGtk(3, Client::nativeWayland));
    ASSERT_TRUE(focus("password"));
    ASSERT_TRUE(keyboard.type("/sig"));
    ASSERT_TRUE(fieldBecomes("password", "/sig")) << app.text("password").toStdString();
    // The entry next to it shows that the engine was following all along.
    ASSERT_TRUE(app.focus("entry"));
    ASSERT_TRUE(keyboard.type("/sig"));
    ASSERT_TRUE(fieldBecomes("entry", signature)) << app.text("entry").toStdString();
    EXPECT_EQ(app.text("password"), "/sig");
    EXPECT_EQ(expansions.size(), 1);
}

TEST_P(WaylandExpansion, textTypedStraightOnAfterTriggersKeepsEveryCharacterInOrder)
{
    ASSERT_TRUE(startGtk(3, Client::nativeWayland));
    ASSERT_TRUE(focus("entry"));
    ASSERT_TRUE(keyboard.type("Hi /sig and more /a/b!"));
    EXPECT_TRUE(fieldBecomes("entry", "Hi " + signature + " and more AAABBB!")) << app.text("entry").toStdString();
    EXPECT_TRUE(expanded(3)) << expansions.size();
}

TEST_P(WaylandExpansion, textTypedStraightOnInAQtLineEditKeepsEveryCharacterInOrder)
{
    ASSERT_TRUE(startQt());
    ASSERT_TRUE(focus("line"));
    ASSERT_TRUE(keyboard.type("Hi /sig and more /a/b!"));
    EXPECT_TRUE(fieldBecomes("line", "Hi " + signature + " and more AAABBB!")) << app.text("line").toStdString();
}

TEST_P(WaylandExpansion, textTypedStraightOnInAGtk4EntryKeepsEveryCharacterInOrder)
{
    // Keys 20 ms apart, as a fast typist's: some reach the entry while a replacement is made.
    ASSERT_TRUE(startGtk(4, Client::nativeWayland));
    ASSERT_TRUE(focus("entry"));
    ASSERT_TRUE(keyboard.type("x /a y /b z /sig w", 20));
    fieldBecomes("entry", "x AAA y BBB z " + signature + " w");
    DesktopSession::pause(500);
    EXPECT_TRUE(soundResults("x /a y /b z /sig w", {{"/a", "AAA"}, {"/b", "BBB"}, {"/sig", signature}})
                    .contains(app.text("entry")))
        << app.text("entry").toStdString();
}

// Keys 20 ms apart into the middle of a line: the caret must stay behind them, not go to the end
// of the text (Qt's line edits send it there on every edit by offsets), nor in front of a key
// typed during the edit (GTK 3 puts it right behind an insertion).
TEST_P(WaylandExpansion, textTypedStraightOnInTheMiddleOfAGtk3EntryStaysThere)
{
    ASSERT_TRUE(startGtk(3, Client::nativeWayland));
    expectTypedIntoTheMiddle("entry");
}

TEST_P(WaylandExpansion, textTypedStraightOnInTheMiddleOfAQtLineEditStaysThere)
{
    ASSERT_TRUE(startQt());
    expectTypedIntoTheMiddle("line");
}

TEST_P(WaylandExpansion, undoInAGtk4EntryBringsTheTriggerBackBeforeTakingTheExpansionOut)
{
    // GTK 4 keeps each edit by offsets as an undo step of its own, and the expansion goes in
    // before the trigger is taken out: undone in the other order, the first step gives the
    // trigger back, so that nothing typed is missing at any step.
    ASSERT_TRUE(startGtk(4, Client::nativeWayland));
    ASSERT_TRUE(focus("entry"));
    ASSERT_TRUE(keyboard.type("Hi /sig"));
    ASSERT_TRUE(fieldBecomes("entry", "Hi " + signature)) << app.text("entry").toStdString();
    ASSERT_TRUE(keyboard.press({"-M", "ctrl", "z", "-m", "ctrl"}));
    EXPECT_TRUE(fieldBecomes("entry", "Hi " + signature + "/sig")) << app.text("entry").toStdString();
    ASSERT_TRUE(keyboard.press({"-M", "ctrl", "z", "-m", "ctrl"}));
    EXPECT_TRUE(fieldBecomes("entry", "Hi /sig")) << app.text("entry").toStdString();
}

// Measures typing on across triggers (benchmarks/wayland-typing-on.sh): only when asked for, as it
// takes minutes. VELMORA_TYPING_ON = "<gtk3|gtk4|qt> <tries> <ms per key> [middle]": each try types
// "x /aa y /bb z /sig w" into an emptied line field, or with "middle" "/sig " into the middle of
// "AB CD", and counts it as exact, left as typed (some triggers), or (a fault) what the field
// ended with.
TEST_P(WaylandExpansion, measureTypingOnAcrossTriggers)
{
    const QStringList asked = qEnvironmentVariable("VELMORA_TYPING_ON").split(u' ', Qt::SkipEmptyParts);
    if (asked.size() != 3 && asked.size() != 4)
        GTEST_SKIP() << "a measurement, run by benchmarks/wayland-typing-on.sh";
    const QList<std::pair<QString, QString>> shortcuts{{"/aa", "Alpha"}, {"/bb", "Bravo"}, {"/sig", signature}};
    engine->stop();
    // VELMORA_MEASURE_PROGRAM=1: the velmora program expands, with its default settings, as a user
    // meets it.
    VelmoraProcess velmora;
    const bool measuresProgram = qEnvironmentVariableIntValue("VELMORA_MEASURE_PROGRAM") != 0;
    if (measuresProgram) {
        velmora.setEnvironment(WaylandSession::velmoraEnvironment(GetParam()));
        velmora.writeDataFile(QStringLiteral("data.json"), VelmoraProcess::libraryWithShortcuts(shortcuts));
        ASSERT_TRUE(velmora.start());
        // Up once it shows on the accessibility bus: a window it opened as it started would take
        // the keyboard from the field.
        ASSERT_TRUE(
            DesktopSession::waitFor([&] { return !AccessibleTree::namesOf(velmora.processId()).isEmpty(); }, 60000));
    } else {
        QList<Shortcut> library;
        for (const auto& [trigger, expansion] : shortcuts)
            library.append(LibraryFixtures::expanding(trigger, expansion));
        engine->start(library, [](const QString&, const QString&, const QString&) {});
    }
    const QString field = asked.at(0) == QLatin1String("qt") ? QStringLiteral("line") : QStringLiteral("entry");
    ASSERT_TRUE(asked.at(0) == QLatin1String("qt") ? startQt()
                                                   : startGtk(asked.at(0).back().digitValue(), Client::nativeWayland));
    ASSERT_TRUE(focus(field));
    // The program may still be starting.
    if (measuresProgram) {
        ASSERT_TRUE(DesktopSession::waitFor(
            [&] {
                return app.setText(field, QString()) && keyboard.type(QStringLiteral("/sig "))
                    && DesktopSession::waitFor([&] { return app.text(field) == signature + u' '; }, 2000);
            },
            60000))
            << app.text(field).toStdString();
    }
    const bool middle = asked.size() == 4;
    const QString typed = middle ? QStringLiteral("/sig ") : QStringLiteral("x /aa y /bb z /sig w");
    const QString before = middle ? QStringLiteral("AB CD") : QString();
    const int at = middle ? 3 : 0;
    QStringList sound;
    for (const QString& result : soundResults(typed, shortcuts))
        sound.append(QString(before).insert(at, result));
    int exactTries = 0;
    int asTyped = 0;
    QStringList faults;
    for (int attempt = 0; attempt < asked.at(1).toInt(); ++attempt) {
        ASSERT_TRUE(app.setText(field, before) && fieldBecomes(field, before));
        if (middle) {
            ASSERT_TRUE(app.setCursor(field, at));
        }
        ASSERT_TRUE(keyboard.type(typed, asked.at(2).toInt()));
        DesktopSession::waitFor([&] { return app.text(field) == sound.last(); }, 3000 + 40 * asked.at(2).toInt());
        DesktopSession::pause(500);
        const QString result = app.text(field);
        exactTries += result == sound.last();
        asTyped += result != sound.last() && sound.contains(result);
        if (!sound.contains(result)) {
            faults.append(result);
            // Shown at once too, beside what the engine logged for that try.
            std::cout << "try " << attempt + 1 << " wrong: " << result.toStdString() << std::endl;
        }
    }
    std::cout << asked.at(0).toStdString() << (middle ? " (middle)" : "") << " at " << asked.at(2).toStdString()
              << " ms per key, " << asked.at(1).toStdString() << " tries: exact " << exactTries
              << ", some left as typed " << asTyped << ", other " << faults.size() << (faults.isEmpty() ? "" : ": ")
              << faults.join(" | ").toStdString() << std::endl;
}

// LibreOffice natively on the compositor (its GTK 3 face, the one on the accessibility bus): its
// paragraphs report themselves editable and enabled, but not "sensitive" as GTK's own fields do.
// An expansion counts once it reads back in the trigger's place.
TEST_P(WaylandExpansion, aWriterParagraphExpands)
{
    if (QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    QTemporaryDir profile;
    const QStringList fresh = DesktopSession::freshOfficeArguments(profile.path());
    ASSERT_FALSE(fresh.isEmpty());
    QProcessEnvironment environment = WaylandSession::environment(Client::nativeWayland, GetParam());
    environment.insert(QStringLiteral("SAL_USE_VCLPLUGIN"), QStringLiteral("gtk3"));
    QProcess office;
    office.setProcessEnvironment(environment);
    office.setStandardOutputFile(QProcess::nullDevice());
    office.setStandardErrorFile(QProcess::nullDevice());
    office.start(QStringLiteral("soffice"), fresh + QStringList{QStringLiteral("--writer")});
    ASSERT_TRUE(office.waitForStarted(10000));
    // soffice starts the office in a process of its own and waits for it.
    const auto end = qScopeGuard([&] {
        QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(office.processId()));
        if (children.open(QIODevice::ReadOnly)) {
            for (const QByteArray& child : children.readAll().split(' '))
                TestSupport::signalPid(child.toLongLong(), SIGKILL);
        }
        office.kill();
        office.waitForFinished(5000);
    });
    // The first start on a machine makes the profile and reads everything from disk: keys typed
    // before the document takes them are lost, so the trigger is typed until it expands.
    ASSERT_TRUE(keyboard.attach());
    EXPECT_TRUE(DesktopSession::waitFor(
        [&] { return keyboard.type(QStringLiteral("Hi /sig ok "), 40) && expanded(1); }, 90000));
    ASSERT_FALSE(expansions.isEmpty());
    EXPECT_EQ(expansions.first(), std::pair(QStringLiteral("/sig"), signature));
}

TEST_P(WaylandExpansion, aTriggerMendedWithBackspaceStartsAfreshAsOnX11)
{
    // A Backspace ends the run of typed characters on X11 too: "/sgi", two Backspaces and "ig"
    // stay as typed.
    ASSERT_TRUE(startGtk(3, Client::nativeWayland));
    ASSERT_TRUE(focus("entry"));
    ASSERT_TRUE(keyboard.type("/sgi\b\big /a"));
    ASSERT_TRUE(fieldBecomes("entry", "/sig AAA")) << app.text("entry").toStdString();
    EXPECT_EQ(expansions.size(), 1);
}

TEST_P(WaylandExpansion, textInsertedInOnePieceDoesNotCompleteATrigger)
{
    ASSERT_TRUE(startGtk(3, Client::nativeWayland));
    ASSERT_TRUE(focus("entry"));
    // As a paste would: the application puts the text in at once.
    ASSERT_TRUE(app.setText("entry", "Hi /si"));
    ASSERT_TRUE(keyboard.type("g"));
    ASSERT_TRUE(fieldBecomes("entry", "Hi /sig"));
    ASSERT_TRUE(keyboard.type(" /sig"));
    ASSERT_TRUE(fieldBecomes("entry", "Hi /sig " + signature)) << app.text("entry").toStdString();
    EXPECT_EQ(expansions.size(), 1);
}

// Text with an emoji already stands in front (put there in one piece: mutter's keyboard types
// only what its keymap holds); then a non-ASCII expansion, and in the multi-line field one of
// several lines, each followed by keys typed straight on.
void WaylandExpansion::expectExactExpansions(const QString& line, const QString& lines)
{
    for (const auto& [field, trigger, expansion] :
        {std::tuple{line, QStringLiteral(";gr"), greeting}, std::tuple{lines, QStringLiteral(";ml"), letter}}) {
        ASSERT_TRUE(app.focus(field));
        ASSERT_TRUE(app.setText(field, QStringLiteral("😀 ")));
        ASSERT_TRUE(fieldBecomes(field, QStringLiteral("😀 ")));
        // What this proves is the text that lands; typing straight on has tests of its own.
        ASSERT_TRUE(keyboard.type(trigger));
        ASSERT_TRUE(fieldBecomes(field, "😀 " + expansion)) << app.text(field).toStdString();
        ASSERT_TRUE(keyboard.type(QStringLiteral(" ok")));
        EXPECT_TRUE(fieldBecomes(field, "😀 " + expansion + " ok")) << app.text(field).toStdString();
    }
    EXPECT_TRUE(expanded(2)) << expansions.size();
}

TEST_P(WaylandExpansion, nonAsciiAndMultiLineExpansionsLandExactlyInGtk3)
{
    ASSERT_TRUE(startGtk(3, Client::nativeWayland));
    ASSERT_TRUE(focus("entry"));
    expectExactExpansions("entry", "view");
}

TEST_P(WaylandExpansion, nonAsciiAndMultiLineExpansionsLandExactlyInGtk4)
{
    ASSERT_TRUE(startGtk(4, Client::nativeWayland));
    ASSERT_TRUE(focus("entry"));
    expectExactExpansions("entry", "view");
}

TEST_P(WaylandExpansion, nonAsciiAndMultiLineExpansionsLandExactlyInQt)
{
    ASSERT_TRUE(startQt());
    ASSERT_TRUE(focus("line"));
    expectExactExpansions("line", "area");
}

// Qt 5 (FeatherPad, through Debian's qtwayland5) as a native Wayland client: on the accessibility
// bus, and its text exact after non-ASCII and multi-line expansions, three tries each, with keys
// typed on after each.
TEST_P(WaylandExpansion, aQt5EditorOnWaylandGetsExactText)
{
    if (QStandardPaths::findExecutable(QStringLiteral("featherpad")).isEmpty()
        || !QFile::exists(QStringLiteral("/usr/lib/x86_64-linux-gnu/qt5/plugins/platforms/libqwayland-generic.so")))
        GTEST_SKIP() << "featherpad or qtwayland5 is not installed";
    QTemporaryDir home;
    QProcessEnvironment environment = WaylandSession::environment(Client::nativeWayland, GetParam());
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    QProcess editor;
    editor.setProcessEnvironment(environment);
    editor.setStandardOutputFile(QProcess::nullDevice());
    editor.setStandardErrorFile(QProcess::nullDevice());
    editor.start(QStringLiteral("featherpad"), {home.filePath(QStringLiteral("note.txt"))});
    ASSERT_TRUE(editor.waitForStarted(10000));
    const auto finish = qScopeGuard([&] {
        editor.kill();
        editor.waitForFinished(5000);
    });
    Accessibility& accessibility = *desktop->desktop().accessibility;
    const auto focused = [&] { return accessibility.focusedElement(editor.processId()); };
    ASSERT_TRUE(keyboard.attach());
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] {
            const std::shared_ptr<AccessibleElement> element = focused();
            return element && element->kind() == FieldKind::multiLine;
        },
        60000))
        << "FeatherPad's text is not on the accessibility bus";
    const auto text = [&] {
        const std::shared_ptr<AccessibleElement> element = focused();
        // Up to the caret, which stands at the end: the bridge reads no range beyond the text.
        const std::optional<TextRange> caret = element ? element->selectedRange() : std::nullopt;
        return caret ? element->textIn(TextRange{0, caret->location}).value_or(QStringLiteral("<unreadable>"))
                     : QStringLiteral("<none>");
    };
    // Keys reach it once it has its keymap.
    ASSERT_TRUE(DesktopSession::waitFor(
        [&] { return keyboard.type("x") && DesktopSession::waitFor([&] { return text().startsWith("x"); }, 1000); },
        30000))
        << text().toStdString();
    QString expected = text();
    for (int attempt = 0; attempt < 3; ++attempt) {
        for (const auto& [trigger, expansion] :
            {std::pair{QStringLiteral(";gr"), greeting}, std::pair{QStringLiteral(";ml"), letter}}) {
            ASSERT_TRUE(keyboard.type(" " + trigger));
            expected += " " + expansion;
            EXPECT_TRUE(DesktopSession::waitFor([&] { return text() == expected; }, 5000)) << text().toStdString();
            ASSERT_TRUE(keyboard.type(QStringLiteral(" ok")));
            expected += " ok";
            EXPECT_TRUE(DesktopSession::waitFor([&] { return text() == expected; }, 5000)) << text().toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Compositors, WaylandExpansion, ::testing::Values(Compositor::sway, Compositor::mutter),
    [](const ::testing::TestParamInfo<Compositor>& info) { return WaylandSession::nameOf(info.param).toStdString(); });

}
