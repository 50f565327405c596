#include "QtClipboardPasteboard.h"

#include "PasteboardTypes.h"
#include "X11ClipboardKeeper.h"
#include "X11SelectionAnswer.h"

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QLoggingCategory>
#include <QMimeData>
#include <QTimer>
#include <X11/Xlib.h>
#include <functional>
#include <utility>
#include <xcb/xcb.h>
#include <xcb/xproto.h>

Q_LOGGING_CATEGORY(lcClipboard, "velmora.clipboard", QtInfoMsg)

namespace {

const QString pngFormat = QStringLiteral("image/png");
const QString utf8TextFormat = QStringLiteral("text/plain;charset=utf-8");
const QString plainTextFormat = QStringLiteral("text/plain");
const QString qtImageFormat = QStringLiteral("application/x-qt-image");

// An owner that offers an image through Qt converts it on request into a dozen formats (BMP,
// ICO, XPM, PPM...), some of them larger than the image's PNG and all slow to make. Only the
// PNG is kept; this entry stands for the conversions, which Qt makes again from it on restore.
const QString imageConversionsFormat = QStringLiteral("application/x-velmora-image-conversions");
// Stands for the contents of an owner that did not say what it offers.
const QString unansweredFormat = QStringLiteral("application/x-velmora-unanswered");

// Qt lists its own image type for any image offered; the X pixmap and bitmap formats next to a
// PNG are the mark of an owner that converts one image on request.
bool offersConvertedImage(const QStringList& formats)
{
    return formats.contains(qtImageFormat) && formats.contains(pngFormat)
        && formats.contains(QLatin1String("image/xpm")) && formats.contains(QLatin1String("image/bmp"));
}

bool isConversion(const QString& format)
{
    return (format.startsWith(QLatin1String("image/")) && format != pngFormat) || format == QLatin1String("BITMAP")
        || format == QLatin1String("PIXMAP");
}

bool isImage(const QString& format)
{
    return format.startsWith(QLatin1String("image/")) || format == QLatin1String("BITMAP")
        || format == QLatin1String("PIXMAP");
}

// Other toolkits offer an image in every format their image library writes (GTK: about 14),
// each one made on request and some far larger than the picture. One of them holds the
// picture whole: the PNG where offered, else the owner's first.
QString keptImageFormat(const QStringList& formats)
{
    if (formats.contains(pngFormat))
        return pngFormat;
    for (const QString& format : formats) {
        if (format.startsWith(QLatin1String("image/")))
            return format;
    }
    return QString();
}

} // namespace

// Hands the requests for our contents to the pasteboard before Qt answers them.
class QtClipboardPasteboard::RequestWatch final : public QAbstractNativeEventFilter {
public:
    explicit RequestWatch(std::function<bool(const xcb_selection_request_event_t&)> take)
        : m_take(std::move(take))
    {
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & ~0x80) != XCB_SELECTION_REQUEST)
            return false;
        return m_take(*static_cast<const xcb_selection_request_event_t*>(message));
    }

private:
    std::function<bool(const xcb_selection_request_event_t&)> m_take;
};

QtClipboardPasteboard::QtClipboardPasteboard(QObject* parent)
    : QObject(parent)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (xcb_connection_t* connection = x11 ? x11->connection() : nullptr) {
        m_answer = std::make_unique<X11SelectionAnswer>(connection);
        m_clipboardAtom = m_answer->atom("CLIPBOARD");
        m_requestWatch = std::make_unique<RequestWatch>(
            [this](const xcb_selection_request_event_t& request) { return answerRequest(request); });
        QCoreApplication::instance()->installNativeEventFilter(m_requestWatch.get());
    }
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !m_writing) {
            // The giving back taking the clipboard to offer our expansion is our own write,
            // counted when it was made: Qt may hear of it only after that expansion has left
            // (a loaded machine), and must not take it for someone who copied.
            if (keeperHoldsClipboard())
                return;
            // Nobody has owned the clipboard since our clear: the notice is of that clear.
            if (m_clearNoticeDue && currentOwner() == 0)
                return;
            m_clearNoticeDue = false;
            m_offeredBy = 0;
            ++m_changeCount;
            m_aliasedText = nullptr;
            // Another owner's contents are not ours to give back, and requests go to it now.
            m_lent.reset();
            m_owed.clear();
            if (m_keeper) {
                m_keeper->lendExpansion({});
                m_keeper->entrust({});
            }
        }
    });
}

bool QtClipboardPasteboard::answerRequest(const xcb_selection_request_event_t& request)
{
    if (request.selection != m_clipboardAtom)
        return false;
    // Which types there are and when we took the clipboard are asked by everyone alike; a
    // paste asks for the data. The paste keys go to the application with the keyboard focus,
    // while a clipboard manager asks for every new clipboard at once, from a client of its own.
    const bool question = m_answer->isQuestionAboutOffer(request);
    const quint32 requestor = m_answer->clientOf(request.requestor);
    const auto countRead = [&] {
        const quint32 focused = m_answer->focusedClient();
        if (!question && (focused == 0 || focused == requestor))
            ++m_reads;
    };
    if (m_lent && (m_lent->client == 0 || m_lent->client == requestor)) {
        countRead();
        if (!question && !m_lent->asked) {
            m_lent->asked = true;
            if (m_keeper)
                m_keeper->lendExpansion({});
        }
        return false;
    }
    if (m_owed.answer(*m_answer, request))
        return true;
    if (!m_lent) {
        countRead();
        return false;
    }
    if (m_entrusted.isEmpty())
        m_answer->refuse(request);
    else
        m_answer->answer(request, m_entrusted);
    return true;
}

bool QtClipboardPasteboard::keeperHoldsClipboard() const
{
    return m_keeperWindow != 0 && currentOwner() == m_keeperWindow;
}

void QtClipboardPasteboard::releaseFromKeeper()
{
    // Qt gives up only a clipboard it owns itself, and ignores one whose owner answers it no
    // formats: the giving back's is let go of here.
    if (!m_answer || !keeperHoldsClipboard())
        return;
    xcb_set_selection_owner(m_answer->connection(), XCB_WINDOW_NONE, m_clipboardAtom, XCB_CURRENT_TIME);
    xcb_flush(m_answer->connection());
}

bool QtClipboardPasteboard::keeperHoldsNothingOfOurs() const
{
    return m_keeper && m_offeredBy == 0 && !m_lent && !m_clearDue && !m_keeper->keepsContents()
        && keeperHoldsClipboard();
}

void QtClipboardPasteboard::releaseOrphanedOffer()
{
    if (!m_owed.isEmpty() || !keeperHoldsNothingOfOurs())
        return;
    qCInfo(lcClipboard) << "The clipboard was left with the process that gives it back, offering nothing: "
                           "let go of it, so that it reads as empty";
    m_writing = true;
    m_clearNoticeDue = true;
    releaseFromKeeper();
    m_writing = false;
    m_formats.reset();
}

quint32 QtClipboardPasteboard::currentOwner() const
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* display = x11 ? x11->display() : nullptr;
    return display ? quint32(XGetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False))) : 0;
}

void QtClipboardPasteboard::retireLent()
{
    if (m_lent && m_offeredBy != 0 && m_keeper && m_keeper->expansionReads() > 0)
        m_lent->asked = true;
    if (m_lent && !m_lent->asked && m_lent->client != 0)
        m_owed.add(m_lent->client, m_lent->item);
    m_lent.reset();
    m_offeredBy = 0;
    if (m_keeper)
        m_keeper->lendExpansion({});
}

bool QtClipboardPasteboard::lendExpansion(const PasteboardItem& item)
{
    const quint32 client = m_answer ? m_answer->focusedClient() : 0;
    // A newer expansion for the same application is what its paste gets.
    m_owed.forget(client);
    m_lent = Lent{client, item, false};
    if (!m_keeper || !m_answer)
        return false;
    // Offered by the giving back, the expansion stays on the clipboard whenever this process
    // ends, also for a paste already on its way.
    m_offeredBy = m_keeper->offerExpansion(item, client, m_answer->ownClient());
    if (m_offeredBy != 0)
        m_keeperWindow = m_offeredBy;
    return m_offeredBy != 0;
}

qint64 QtClipboardPasteboard::changeCount()
{
    return m_changeCount;
}

const QMimeData* QtClipboardPasteboard::contents() const
{
    return QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
}

bool QtClipboardPasteboard::hasOtherOwner() const
{
    if (QGuiApplication::clipboard()->ownsClipboard())
        return false;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* display = x11 ? x11->display() : nullptr;
    return display && XGetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False)) != None;
}

QStringList QtClipboardPasteboard::formats() const
{
    // Asking an owner that does not answer waits for Qt's time-out on every question: the
    // answer holds until the contents change.
    if (m_formats && m_formats->changeCount == m_changeCount && !m_formats->expiry.hasExpired())
        return m_formats->formats;
    QStringList result;
    if (const QMimeData* data = contents()) {
        const QStringList offered = data->formats();
        const bool converted = offersConvertedImage(offered);
        const bool aliased = data == m_aliasedText;
        const QString image = converted ? QString() : keptImageFormat(offered);
        for (const QString& format : offered) {
            if (PasteboardTypes::isMetaTarget(format) || (converted && isConversion(format))
                || (!converted && isImage(format) && format != image) || (aliased && format == plainTextFormat))
                continue;
            result.append(format);
        }
        if (converted)
            result.append(imageConversionsFormat);
    }
    // No formats while someone owns the clipboard: an owner that did not answer. Its contents
    // cannot be saved, and must not pass for an empty clipboard that may be written over.
    // The giving back answers us with the user's contents it keeps: none is an empty clipboard.
    const bool unanswered = result.isEmpty() && hasOtherOwner() && !keeperHoldsClipboard();
    if (unanswered)
        result.append(unansweredFormat);
    // An owner that did not answer may answer again after a while.
    m_formats
        = Formats{m_changeCount, result, unanswered ? QDeadlineTimer(unansweredRetryMilliseconds) : QDeadlineTimer()};
    return result;
}

qsizetype QtClipboardPasteboard::itemCount()
{
    settleClear();
    releaseOrphanedOffer();
    const QStringList offered = formats();
    return offered.isEmpty() || offered == QStringList{unansweredFormat} ? 0 : 1;
}

QStringList QtClipboardPasteboard::itemTypes(qsizetype item)
{
    return item == 0 ? types() : QStringList();
}

QStringList QtClipboardPasteboard::types()
{
    settleClear();
    releaseOrphanedOffer();
    return formats();
}

std::optional<QByteArray> QtClipboardPasteboard::data(qsizetype item, const QString& type)
{
    settleClear();
    const QString& format = type;
    const QMimeData* data = contents();
    if (item != 0 || !data || PasteboardTypes::isMetaTarget(format))
        return std::nullopt;
    if (format == imageConversionsFormat)
        return offersConvertedImage(data->formats()) ? std::optional<QByteArray>(QByteArray()) : std::nullopt;
    if (!data->formats().contains(format))
        return std::nullopt;
    return data->data(format);
}

QtClipboardPasteboard::~QtClipboardPasteboard()
{
    m_owed.clear();
    if (qGuiApp) {
        settleClear();
        clearOfferOfNothing();
    }
    if (m_requestWatch && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(m_requestWatch.get());
}

std::optional<qint64> QtClipboardPasteboard::readsByFocusedApplication()
{
    if (!m_requestWatch)
        return std::nullopt;
    return m_reads + (m_offeredBy != 0 && m_keeper ? m_keeper->expansionReads() : 0);
}

qint64 QtClipboardPasteboard::clearContents()
{
    m_formats.reset();
    // The write that mostly follows a clear takes the clipboard over directly. Emptied first,
    // it would cost round trips to the server just before the paste keys go out; and while the
    // giving back offers our expansion, the clipboard would be nobody's for a moment, so that
    // a stalled application's paste sent for that expansion arriving then would paste nothing
    // over its trigger. A clear that no write follows happens at the next turn of the event
    // loop, or as soon as the board is read.
    m_clearOffer = m_offeredBy;
    retireLent();
    m_reads = 0;
    m_clearDue = true;
    m_clearChangeCount = ++m_changeCount;
    QTimer::singleShot(0, this, [this] { settleClear(); });
    return m_changeCount;
}

void QtClipboardPasteboard::settleClear()
{
    // Taken over meanwhile, by our write or by someone who copied: nothing left to clear.
    if (!std::exchange(m_clearDue, false) || m_changeCount != m_clearChangeCount)
        return;
    if (m_clearOffer != 0 && currentOwner() != m_clearOffer)
        return;
    clearNow();
}

std::optional<qint64> QtClipboardPasteboard::clearOwnContents(qint64 changeCount)
{
    if (!m_answer)
        return Pasteboard::clearOwnContents(changeCount);
    // Qt hears of another owner only once its event loop runs again; the server knows already.
    if (changeCount != m_changeCount)
        return std::nullopt;
    const quint32 owner = currentOwner();
    const bool ours = owner == 0 || (m_keeperWindow != 0 && owner == m_keeperWindow)
        || m_answer->clientOf(owner) == m_answer->ownClient();
    if (!ours)
        return std::nullopt;
    return clearContents();
}

void QtClipboardPasteboard::clearNow()
{
    m_writing = true;
    // An application owed an expansion it has not asked for yet (a stalled paste on its way)
    // would find nobody to ask and paste nothing over its trigger: the clipboard stays ours,
    // offering nothing to anyone else.
    // Once nothing is owed any more it is cleared (an owner offering nothing passes for one
    // that does not answer, whose contents cannot be saved).
    if (m_owed.isEmpty()) {
        m_clearNoticeDue = true;
        QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
        releaseFromKeeper();
    } else {
        auto* nothing = new QMimeData;
        QGuiApplication::clipboard()->setMimeData(nothing, QClipboard::Clipboard);
        m_offeringNothing = nothing;
        QTimer::singleShot(OwedExpansions::keptMilliseconds, this, [this] { clearOfferOfNothing(); });
    }
    m_writing = false;
}

void QtClipboardPasteboard::clearOfferOfNothing()
{
    // Qt may not have taken the clipboard from the giving back (a timestamp older than its
    // offer), which then answered the applications owed an expansion itself.
    if ((m_offeringNothing && contents() == m_offeringNothing.get()) || keeperHoldsNothingOfOurs())
        clearNow();
}

bool QtClipboardPasteboard::writeItems(const QList<PasteboardItem>& items)
{
    m_formats.reset();
    if (items.size() > 1)
        return false;
    if (items.isEmpty())
        return true;
    m_clearDue = false;
    m_reads = 0;
    auto* data = new QMimeData;
    bool convertImage = false;
    for (const auto& [type, bytes] : items.first()) {
        const QString& format = type;
        if (format == imageConversionsFormat)
            convertImage = true;
        else
            data->setData(format, bytes);
    }
    if (convertImage && data->hasFormat(pngFormat))
        data->setImageData(QImage::fromData(data->data(pngFormat), "PNG"));
    // An expansion must paste into Qt 5 and other older clients too, which ask for text/plain
    // (Qt then also offers it as UTF8_STRING, STRING and TEXT). A user's contents are put back
    // with exactly their own formats.
    m_aliasedText = nullptr;
    if (data->hasFormat(ClipboardFormats::expansionMarker) && data->hasFormat(utf8TextFormat)
        && !data->hasFormat(plainTextFormat)) {
        data->setData(plainTextFormat, data->data(utf8TextFormat));
        m_aliasedText = data;
    }
    retireLent();
    if (data->hasFormat(ClipboardFormats::expansionMarker) && lendExpansion(items.first())) {
        delete data;
        m_aliasedText = nullptr;
        m_written = nullptr;
        m_writtenChangeCount = m_changeCount;
        return true;
    }
    m_writing = true;
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
    m_writing = false;
    m_written = data;
    m_writtenChangeCount = m_changeCount;
    return true;
}

std::optional<bool> QtClipboardPasteboard::holdsOwnWrite(qint64 changeCount)
{
    if (changeCount != m_changeCount)
        return false;
    if (m_offeredBy != 0 && m_writtenChangeCount == changeCount)
        return currentOwner() == m_offeredBy;
    if (!m_written || m_writtenChangeCount != changeCount)
        return std::nullopt;
    // Qt answers with its own contents only while the server names it the selection's owner,
    // which it asks each time; another owner's contents are not read for this.
    return contents() == m_written.get();
}

void QtClipboardPasteboard::keepAfterExit(const QString& program)
{
    m_keeper = std::make_unique<X11ClipboardKeeper>(program);
}

void QtClipboardPasteboard::entrust(const QList<PasteboardItem>& items)
{
    m_entrusted = items.isEmpty() ? PasteboardItem() : items.first();
    if (m_keeper)
        m_keeper->entrust(items);
}
