#include <gtest/gtest.h>

#include "DesktopSession.h"
#include "Engine/SystemExpansionClipboard.h"
#include "TextFieldsApp.h"
#include "VelmoraProcess.h"
#include "platform/linux/PasteboardTypes.h"
#include "platform/linux/QtClipboardPasteboard.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <climits>

namespace {

// Asks for the clipboard in one target as a client of another toolkit does, over a connection
// of its own, while this process's event loop answers; nothing when the owner refuses.
std::optional<QByteArray> convertClipboard(const char* target, Atom* type = nullptr)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return std::nullopt;
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom property = XInternAtom(display, "VELMORA_CONVERSION", False);
    XConvertSelection(display, XInternAtom(display, "CLIPBOARD", False), XInternAtom(display, target, False), property,
        window, CurrentTime);
    XFlush(display);
    std::optional<QByteArray> result;
    DesktopSession::waitFor([&] {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != SelectionNotify)
                continue;
            if (event.xselection.property == None)
                return true;
            Atom actual = None;
            int format = 0;
            unsigned long count = 0;
            unsigned long remaining = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(display, window, property, 0, LONG_MAX / 4, True, AnyPropertyType, &actual, &format,
                    &count, &remaining, &data)
                    == Success
                && data) {
                // Xlib hands 32-bit items over as longs.
                const qsizetype size = format == 32 ? qsizetype(count * sizeof(long)) : qsizetype(count * format / 8);
                result = QByteArray(reinterpret_cast<const char*>(data), size);
                if (type)
                    *type = actual;
                XFree(data);
            }
            return true;
        }
        return false;
    });
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return result;
}

QStringList clipboardTargets()
{
    const std::optional<QByteArray> list = convertClipboard("TARGETS");
    QStringList names;
    Display* display = XOpenDisplay(nullptr);
    if (!list || !display)
        return names;
    const auto* atoms = reinterpret_cast<const long*>(list->constData());
    for (qsizetype i = 0; i < list->size() / qsizetype(sizeof(long)); ++i) {
        char* name = XGetAtomName(display, Atom(atoms[i]));
        names.append(QString::fromLatin1(name));
        XFree(name);
    }
    XCloseDisplay(display);
    return names;
}

Window clipboardOwner()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return None;
    const Window owner = XGetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False));
    XCloseDisplay(display);
    return owner;
}

// Hands the clipboard to a window that is not this client's, as the server lets anyone do.
void giveClipboardTo(Window window)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return;
    XSetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False), window, CurrentTime);
    XSync(display, False);
    XCloseDisplay(display);
}

void focusNobody()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return;
    XSetInputFocus(display, PointerRoot, RevertToPointerRoot, CurrentTime);
    XCloseDisplay(display);
}

class ClipboardPasteboard : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QString missing = DesktopSession::missingDisplay(); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        ASSERT_TRUE(owner.start());
    }

    // The board as one item, read the way a replacement saves it.
    PasteboardItem snapshot()
    {
        PasteboardItem item;
        if (pasteboard.itemCount() == 0)
            return item;
        for (const QString& type : pasteboard.itemTypes(0))
            item.append({type, pasteboard.data(0, type).value_or(QByteArray("<missing>"))});
        return item;
    }

    bool ownerTakesClipboard(const QMap<QString, QByteArray>& contents)
    {
        const qint64 before = pasteboard.changeCount();
        return owner.setClipboard(contents)
            && DesktopSession::waitFor([&] { return pasteboard.changeCount() != before; });
    }

    TextFieldsApp owner;
    QtClipboardPasteboard pasteboard;
};

TEST_F(ClipboardPasteboard, anotherOwnersTextHtmlImageAndBinaryComeBackByteForByte)
{
    const QMap<QString, QByteArray> original = TextFieldsApp::mixedClipboard();
    ASSERT_TRUE(ownerTakesClipboard(original));
    const PasteboardItem saved = snapshot();
    EXPECT_EQ(saved.size(), 4);
    EXPECT_EQ(pasteboard.data(0, QStringLiteral("image/png")), original.value("image/png"));

    pasteboard.clearContents();
    ASSERT_TRUE(pasteboard.writeItems({saved}));

    EXPECT_EQ(owner.clipboard(), original);
}

TEST_F(ClipboardPasteboard, typesAreTheOwnersFormatsUnderPasteboardNames)
{
    ASSERT_TRUE(ownerTakesClipboard({{"text/plain;charset=utf-8", "x"}, {"text/html", "<i>x</i>"}}));
    EXPECT_EQ(pasteboard.itemCount(), 1);
    EXPECT_EQ(pasteboard.itemTypes(0), QStringList({"text/html", "text/plain;charset=utf-8"}));
    EXPECT_EQ(pasteboard.types(), pasteboard.itemTypes(0));
    EXPECT_EQ(pasteboard.data(0, QStringLiteral("text/html")), QByteArray("<i>x</i>"));
    EXPECT_EQ(pasteboard.data(0, QStringLiteral("text/rtf")), std::nullopt);
    EXPECT_EQ(pasteboard.data(0, QStringLiteral("TARGETS")), std::nullopt);
    EXPECT_EQ(pasteboard.data(1, QStringLiteral("text/html")), std::nullopt);
}

TEST_F(ClipboardPasteboard, ourWriteMovesTheCountOnlyThroughClearContents)
{
    const qint64 before = pasteboard.changeCount();
    const qint64 cleared = pasteboard.clearContents();
    EXPECT_GT(cleared, before);
    ASSERT_TRUE(pasteboard.writeItems({{{"text/plain;charset=utf-8", "expansion"},
        {"application/x-velmora-temporary-expansion", "5C2E3A8B-0000-4000-8000-000000000000"}}}));
    EXPECT_EQ(pasteboard.changeCount(), cleared);
    // Nothing arrives later for the ownership our own write took.
    DesktopSession::pause(300);
    EXPECT_EQ(pasteboard.changeCount(), cleared);
    EXPECT_EQ(owner.clipboard(),
        (QMap<QString, QByteArray>{{"text/plain;charset=utf-8", "expansion"}, {"text/plain", "expansion"},
            {"application/x-velmora-temporary-expansion", "5C2E3A8B-0000-4000-8000-000000000000"}}));
}

TEST_F(ClipboardPasteboard, ourClearOfContentsWeOwnIsNotTakenForAnotherWriterWhenQtHearsOfItLate)
{
    // An empty clipboard put back after a paste is only a clear.
    pasteboard.clearContents();
    ASSERT_TRUE(pasteboard.writeItems({{{"text/plain;charset=utf-8", "expansion"}}}));
    const qint64 cleared = pasteboard.clearContents();
    DesktopSession::pause(300);
    EXPECT_EQ(pasteboard.changeCount(), cleared);
    // Someone copying after it still counts.
    ASSERT_TRUE(ownerTakesClipboard({{"text/plain;charset=utf-8", "theirs"}}));
    EXPECT_GT(pasteboard.changeCount(), cleared);
}

TEST_F(ClipboardPasteboard, anotherWriterMovesTheCountPastOurs)
{
    const qint64 ours = pasteboard.clearContents();
    ASSERT_TRUE(pasteboard.writeItems({{{"text/plain;charset=utf-8", "ours"}}}));
    ASSERT_TRUE(ownerTakesClipboard({{"text/plain;charset=utf-8", "theirs"}}));
    EXPECT_GT(pasteboard.changeCount(), ours);
    EXPECT_EQ(pasteboard.data(0, QStringLiteral("text/plain;charset=utf-8")), QByteArray("theirs"));
}

TEST_F(ClipboardPasteboard, ourWriteIsHeldOnlyUntilAnotherOwnerTakesTheClipboardEvenBeforeQtHearsOfIt)
{
    const qint64 ours = pasteboard.clearContents();
    EXPECT_EQ(pasteboard.holdsOwnWrite(ours), std::nullopt);
    ASSERT_TRUE(pasteboard.writeItems({{{"text/plain;charset=utf-8", "ours"}}}));
    EXPECT_EQ(pasteboard.holdsOwnWrite(ours), true);
    EXPECT_EQ(pasteboard.holdsOwnWrite(ours - 1), false);

    // Another client takes the selection while this process's event loop does not run.
    Display* other = XOpenDisplay(nullptr);
    ASSERT_TRUE(other);
    const Window window = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(other, XInternAtom(other, "CLIPBOARD", False), window, CurrentTime);
    XSync(other, False);
    EXPECT_EQ(pasteboard.holdsOwnWrite(ours), false);
    // Nor is it written over as ours: what the other client copied stays.
    EXPECT_EQ(pasteboard.clearOwnContents(ours), std::nullopt);
    EXPECT_EQ(XGetSelectionOwner(other, XInternAtom(other, "CLIPBOARD", False)), window);
    XCloseDisplay(other);
}

TEST_F(ClipboardPasteboard, aClearedBoardHoldsNoItemsAndTakesAnEmptyList)
{
    ASSERT_TRUE(ownerTakesClipboard({{"text/plain;charset=utf-8", "something"}}));
    pasteboard.clearContents();
    EXPECT_TRUE(pasteboard.writeItems({}));
    EXPECT_EQ(pasteboard.itemCount(), 0);
    EXPECT_TRUE(pasteboard.types().isEmpty());
    EXPECT_TRUE(owner.clipboard().isEmpty());
}

TEST_F(ClipboardPasteboard, aWriteAfterAClearTakesTheClipboardFromItsOwnerWithNoOwnerlessMomentBetween)
{
    ASSERT_TRUE(ownerTakesClipboard({{"text/plain;charset=utf-8", "theirs"}}));
    Display* other = XOpenDisplay(nullptr);
    ASSERT_TRUE(other);
    const Atom clipboard = XInternAtom(other, "CLIPBOARD", False);
    const Window theirs = XGetSelectionOwner(other, clipboard);
    ASSERT_NE(theirs, Window(None));
    // A paste sent for an earlier expansion may ask at any moment: someone must answer.
    pasteboard.clearContents();
    EXPECT_EQ(XGetSelectionOwner(other, clipboard), theirs);
    ASSERT_TRUE(pasteboard.writeItems({{{"text/plain;charset=utf-8", "ours"}}}));
    DesktopSession::pause(50);
    const Window ours = XGetSelectionOwner(other, clipboard);
    EXPECT_NE(ours, theirs);
    EXPECT_NE(ours, Window(None));
    XCloseDisplay(other);
}

TEST_F(ClipboardPasteboard, anImageOfferedInManyFormatsIsSavedAsItsPngBesideTheText)
{
    ASSERT_TRUE(ownerTakesClipboard({{"image/bmp", "BM-bytes"}, {"image/png", "png-bytes"},
        {"image/jpeg", "jpeg-bytes"}, {"image/tiff", "tiff-bytes"}, {"text/plain;charset=utf-8", "caption"}}));
    EXPECT_EQ(snapshot(), (PasteboardItem{{"image/png", "png-bytes"}, {"text/plain;charset=utf-8", "caption"}}));

    ASSERT_TRUE(ownerTakesClipboard({{"image/jpeg", "jpeg-bytes"}, {"image/tiff", "tiff-bytes"}}));
    EXPECT_EQ(pasteboard.itemTypes(0).size(), 1);
}

TEST_F(ClipboardPasteboard, readsOfOurContentsCountOnlyWhenTheApplicationWithTheFocusAsks)
{
    pasteboard.clearContents();
    ASSERT_TRUE(pasteboard.writeItems({{{"text/plain;charset=utf-8", "expansion"}}}));
    EXPECT_EQ(pasteboard.readsByFocusedApplication(), 0);
    EXPECT_EQ(snapshot(), (PasteboardItem{{"text/plain;charset=utf-8", "expansion"}}));
    EXPECT_EQ(pasteboard.readsByFocusedApplication(), 0);

    // A client without the focus, as a clipboard manager reading every new clipboard.
    ASSERT_TRUE(DesktopSession::focusWindowOf(owner.processId()));
    EXPECT_EQ(convertClipboard("text/plain;charset=utf-8"), QByteArray("expansion"));
    EXPECT_EQ(pasteboard.readsByFocusedApplication(), 0);

    EXPECT_EQ(
        owner.clipboard(QStringLiteral("text/plain;charset=utf-8")).value("text/plain;charset=utf-8"), "expansion");
    EXPECT_GE(pasteboard.readsByFocusedApplication().value_or(0), 1);

    pasteboard.clearContents();
    ASSERT_TRUE(pasteboard.writeItems({{{"text/plain;charset=utf-8", "next"}}}));
    EXPECT_EQ(pasteboard.readsByFocusedApplication(), 0);
}

TEST_F(ClipboardPasteboard, moreThanOneItemIsRefused)
{
    pasteboard.clearContents();
    EXPECT_FALSE(pasteboard.writeItems({{{"text/plain;charset=utf-8", "a"}}, {{"text/plain;charset=utf-8", "b"}}}));
}

TEST_F(ClipboardPasteboard, anExpansionIsOfferedUnderEveryUsualX11TextTargetAndReadsBackAsWritten)
{
    const QByteArray text = QStringLiteral("Grüße").toUtf8();
    const PasteboardItem expansion{{QStringLiteral("text/plain;charset=utf-8"), text},
        {QStringLiteral("application/x-velmora-temporary-expansion"), QByteArray("marker")}};
    // With no window focused, anyone may be the one pasting.
    focusNobody();
    pasteboard.clearContents();
    ASSERT_TRUE(pasteboard.writeItems({expansion}));
    const QStringList targets = clipboardTargets();
    for (const char* target : {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "STRING", "TEXT"})
        EXPECT_TRUE(targets.contains(QLatin1String(target))) << target << " " << targets.join(' ').toStdString();
    EXPECT_EQ(convertClipboard("UTF8_STRING"), text);
    EXPECT_EQ(convertClipboard("text/plain"), text);
    EXPECT_EQ(snapshot(), expansion);

    // A user's text goes back under its own targets only.
    const PasteboardItem users{{QStringLiteral("text/plain;charset=utf-8"), text}};
    pasteboard.clearContents();
    ASSERT_TRUE(pasteboard.writeItems({users}));
    EXPECT_FALSE(clipboardTargets().contains(QLatin1String("UTF8_STRING")));
    EXPECT_EQ(snapshot(), users);
}

TEST_F(ClipboardPasteboard, anExpansionGoesOnlyToTheApplicationItWasPutThereForAndOthersGetWhatIsTheirs)
{
    const QString utf8 = QStringLiteral("text/plain;charset=utf-8");
    const auto expansion = [&](const QByteArray& text) {
        return PasteboardItem{{utf8, text}, {QStringLiteral("application/x-velmora-temporary-expansion"), "marker"}};
    };
    TextFieldsApp second;
    ASSERT_TRUE(second.start());
    pasteboard.entrust({{{utf8, "copied by the user"}}});

    // Put there for the owner's field: a clipboard manager's connection reads what the user
    // copied.
    ASSERT_TRUE(DesktopSession::focusWindowOf(owner.processId()));
    pasteboard.clearContents();
    ASSERT_TRUE(pasteboard.writeItems({expansion("first")}));
    EXPECT_EQ(convertClipboard("UTF8_STRING"), QByteArray("copied by the user"));

    // A newer one for the second application while the owner's paste has not asked yet (a
    // stalled application): each paste gets the expansion it was sent for, once.
    ASSERT_TRUE(DesktopSession::focusWindowOf(second.processId()));
    pasteboard.clearContents();
    ASSERT_TRUE(pasteboard.writeItems({expansion("second")}));
    EXPECT_EQ(owner.clipboard(utf8).value(utf8), "first");
    EXPECT_EQ(second.clipboard(utf8).value(utf8), "second");
    EXPECT_EQ(owner.clipboard(utf8).value(utf8), "copied by the user");
    EXPECT_EQ(convertClipboard("text/plain;charset=utf-8"), QByteArray("copied by the user"));
}

TEST_F(ClipboardPasteboard, anExpansionNotAskedForYetIsStillAnsweredOnceTheUsersEmptyClipboardIsBack)
{
    // The user's clipboard was empty: put back while a stalled application's paste is still on
    // its way, it leaves that paste someone to ask. Others find nothing to paste.
    const QString utf8 = QStringLiteral("text/plain;charset=utf-8");
    ASSERT_TRUE(DesktopSession::focusWindowOf(owner.processId()));
    pasteboard.clearContents();
    ASSERT_TRUE(pasteboard.writeItems(
        {{{utf8, "expansion"}, {QStringLiteral("application/x-velmora-temporary-expansion"), "marker"}}}));
    pasteboard.clearContents();
    EXPECT_EQ(pasteboard.itemCount(), 0);
    EXPECT_EQ(convertClipboard("UTF8_STRING"), std::nullopt);
    EXPECT_EQ(owner.clipboard(utf8).value(utf8), "expansion");
}

TEST_F(ClipboardPasteboard, anEmptyClipboardPutBackAfterTheGivingBacksOfferIsEmptyAgainAndTheNextExpansionGoesOn)
{
    // As in velmora: the process that gives the clipboard back offers each expansion.
    pasteboard.keepAfterExit(VelmoraProcess::programPath());
    SystemExpansionClipboard clipboard(pasteboard);
    const QString utf8 = QStringLiteral("text/plain;charset=utf-8");
    const QList<ClipboardItemSnapshot> expansion{{{{utf8, "expansion"},
        {QStringLiteral("application/x-velmora-temporary-expansion"), "marker"}}}};
    clipboard.write({});
    ASSERT_TRUE(DesktopSession::waitFor([] { return clipboardOwner() == None; }));
    ASSERT_TRUE(DesktopSession::focusWindowOf(owner.processId()));

    Window givingBack = None;
    for (int trigger = 0; trigger < 3; ++trigger) {
        // The user's empty clipboard is saved, the expansion pasted, and the clipboard put back.
        const std::optional<QList<ClipboardItemSnapshot>> saved = clipboard.snapshot();
        ASSERT_TRUE(saved) << trigger;
        EXPECT_TRUE(saved->isEmpty());
        clipboard.entrust(*saved);
        const ClipboardWriteReceipt receipt = clipboard.write(expansion);
        ASSERT_TRUE(receipt.succeeded);
        givingBack = clipboardOwner();
        EXPECT_EQ(owner.clipboard(utf8).value(utf8), "expansion");
        ASSERT_TRUE(clipboard.writeOver(receipt.changeCount, *saved));
        EXPECT_EQ(pasteboard.itemCount(), 0);
        // Nobody's, as before: no owner offering nothing is left behind.
        EXPECT_EQ(clipboardOwner(), Window(None)) << trigger;
        EXPECT_EQ(owner.clipboard(utf8), (QMap<QString, QByteArray>{}));
    }

    // Left with the giving back all the same (its take heard of late): it is let go of, and the
    // clipboard saves as the empty one it is.
    ASSERT_NE(givingBack, Window(None));
    giveClipboardTo(givingBack);
    const std::optional<QList<ClipboardItemSnapshot>> saved = clipboard.snapshot();
    ASSERT_TRUE(saved);
    EXPECT_TRUE(saved->isEmpty());
    EXPECT_EQ(clipboardOwner(), Window(None));
}

}
