#include "TextFieldsWindow.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QMimeData>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <utility>
#include <xcb/xcb.h>

TextFieldsWindow::TextFieldsWindow()
    : m_line(new QLineEdit(this))
    , m_area(new QPlainTextEdit(this))
    , m_password(new QLineEdit(this))
    , m_input(new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this))
{
    setWindowTitle(QStringLiteral("Velmora test fields"));
    m_line->setObjectName(QStringLiteral("line"));
    m_line->setAccessibleName(QStringLiteral("line"));
    m_area->setObjectName(QStringLiteral("area"));
    m_area->setAccessibleName(QStringLiteral("area"));
    m_password->setObjectName(QStringLiteral("password"));
    m_password->setAccessibleName(QStringLiteral("password"));
    m_password->setEchoMode(QLineEdit::Password);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_line);
    layout->addWidget(m_area);
    layout->addWidget(m_password);
    resize(500, 300);
    connect(m_input, &QSocketNotifier::activated, this, &TextFieldsWindow::readCommands);
    m_line->installEventFilter(this);
    connect(m_line, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!m_watched.isEmpty() && m_arrival < 0 && text.contains(m_watched))
            m_arrival = std::chrono::duration_cast<std::chrono::nanoseconds>(
                std::chrono::steady_clock::now().time_since_epoch())
                            .count();
        // A formatter that finds nothing to change still sets the text: the selection goes and
        // the caret moves to the end, as a selection between the change and the rewrite finds.
        // One that upper-cases what it is given changes the text it rewrites.
        if (m_rewriteAfter > 0)
            QTimer::singleShot(m_rewriteAfter, m_line,
                [this] { m_line->setText(m_rewriteUpper ? m_line->text().toUpper() : m_line->text()); });
    });
}

bool TextFieldsWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_line || m_latePaste <= 0 || event->type() != QEvent::KeyPress
        || !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste))
        return QWidget::eventFilter(watched, event);
    QTimer::singleShot(std::exchange(m_latePaste, 0), m_line, [this] { m_line->paste(); });
    return true;
}

void TextFieldsWindow::readCommands()
{
    char chunk[65536];
    const ssize_t count = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (count <= 0) {
        QApplication::quit();
        return;
    }
    m_pending.append(chunk, count);
    qsizetype end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QByteArray line = m_pending.left(end).trimmed();
        m_pending.remove(0, end + 1);
        if (!line.isEmpty())
            run(line);
    }
}

QWidget* TextFieldsWindow::field(const QByteArray& name) const
{
    if (name == "line")
        return m_line;
    if (name == "area")
        return m_area;
    if (name == "password")
        return m_password;
    return nullptr;
}

static QString fieldText(QWidget* widget)
{
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    return static_cast<QPlainTextEdit*>(widget)->toPlainText();
}

void TextFieldsWindow::run(const QByteArray& line)
{
    const QList<QByteArray> words = line.split(' ');
    const QByteArray& command = words.first();
    QWidget* target = words.size() > 1 ? field(words.at(1)) : nullptr;
    if (command == "hang" && words.size() == 2) {
        // Stands for an application that stops answering: blocks its event loop.
        reply({{QStringLiteral("ok"), true}});
        QThread::msleep(words.at(1).toUInt());
    } else if (command == "late-paste" && words.size() == 2) {
        m_latePaste = words.at(1).toInt();
        reply({{QStringLiteral("ok"), true}});
    } else if (command == "rewrite" && (words.size() == 2 || (words.size() == 3 && words.at(2) == "upper"))) {
        m_rewriteAfter = words.at(1).toInt();
        m_rewriteUpper = words.size() == 3;
        reply({{QStringLiteral("ok"), true}});
    } else if (command == "watch" && words.size() == 2) {
        m_watched = QString::fromUtf8(QByteArray::fromBase64(words.at(1)));
        m_arrival = -1;
        reply({{QStringLiteral("ok"), true}});
    } else if (command == "arrival") {
        reply({{QStringLiteral("nanoseconds"), double(m_arrival)}});
    } else if (command == "quit") {
        reply({{QStringLiteral("ok"), true}});
        QApplication::quit();
    } else if (command == "focus" && target) {
        activateWindow();
        target->setFocus(Qt::OtherFocusReason);
        reply({{QStringLiteral("ok"), true}});
    } else if (command == "announce-focus" && target) {
        // Stands for an application that announces a focus of its own while another one's window
        // is active (a clipboard manager's hidden window, as the user copies).
        QAccessibleEvent event(target, QAccessible::Focus);
        QAccessible::updateAccessibility(&event);
        reply({{QStringLiteral("ok"), true}});
    } else if (command == "set" && target) {
        const QString text = QString::fromUtf8(QByteArray::fromBase64(words.value(2)));
        if (auto* edit = qobject_cast<QLineEdit*>(target)) {
            edit->setText(text);
        } else {
            m_area->setPlainText(text);
            m_area->moveCursor(QTextCursor::End);
        }
        reply({{QStringLiteral("ok"), true}});
    } else if (command == "cursor" && target && words.size() == 3) {
        const int position = words.at(2).toInt();
        if (auto* edit = qobject_cast<QLineEdit*>(target)) {
            edit->setCursorPosition(position);
        } else {
            QTextCursor cursor = m_area->textCursor();
            cursor.setPosition(position);
            m_area->setTextCursor(cursor);
        }
        reply({{QStringLiteral("ok"), true}});
    } else if (command == "state") {
        QWidget* focused = QApplication::focusWidget();
        int cursor = -1;
        int selectionStart = -1;
        int selectionLength = 0;
        if (auto* edit = qobject_cast<QLineEdit*>(focused)) {
            cursor = edit->cursorPosition();
            selectionStart = edit->selectionStart();
            selectionLength = edit->selectionLength();
        } else if (focused == m_area) {
            const QTextCursor text = m_area->textCursor();
            cursor = text.position();
            selectionStart = text.hasSelection() ? text.selectionStart() : -1;
            selectionLength = text.selectionEnd() - text.selectionStart();
        }
        reply({{QStringLiteral("line"), m_line->text()}, {QStringLiteral("area"), m_area->toPlainText()},
            {QStringLiteral("password"), fieldText(m_password)},
            {QStringLiteral("focus"), focused ? focused->objectName() : QString()},
            {QStringLiteral("active"), isActiveWindow()},
            {QStringLiteral("cursor"), cursor},
            {QStringLiteral("selectionStart"), selectionStart},
            {QStringLiteral("selectionLength"), selectionLength}});
    } else if (command == "clip-set" && words.size() >= 2) {
        const QJsonObject formats = QJsonDocument::fromJson(line.mid(command.size() + 1)).object();
        auto* data = new QMimeData;
        for (auto it = formats.begin(); it != formats.end(); ++it)
            data->setData(it.key(), QByteArray::fromBase64(it.value().toString().toLatin1()));
        QApplication::clipboard()->setMimeData(data);
        reply({{QStringLiteral("ok"), true}});
    } else if (command == "clip-image" && words.size() >= 3) {
        QImage image(words.at(1).toInt(), words.at(2).toInt(), QImage::Format_ARGB32);
        // A gradient, so that the image is neither empty nor trivially compressed.
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = qRgba(x % 256, y % 256, (x + y) % 256, 255);
        }
        QApplication::clipboard()->setImage(image);
        reply({{QStringLiteral("ok"), true}});
    } else if (command == "primary-set" && words.size() >= 2) {
        QApplication::clipboard()->setText(QString::fromUtf8(line.mid(command.size() + 1)), QClipboard::Selection);
        reply({{QStringLiteral("ok"), true}});
    } else if (command == "primary-get") {
        catchUpWithTheServer();
        reply({{QStringLiteral("text"), QApplication::clipboard()->text(QClipboard::Selection)}});
    } else if (command == "clip-get") {
        catchUpWithTheServer();
        QJsonObject formats;
        if (const QMimeData* data = QApplication::clipboard()->mimeData()) {
            for (const QString& format : data->formats()) {
                // With a format named, the others are listed without their data: converting
                // a large image into every format takes its owner seconds.
                const bool wanted
                    = words.size() < 2 || words.at(1).isEmpty() || format == QString::fromUtf8(words.at(1));
                formats.insert(format, wanted ? QString::fromLatin1(data->data(format).toBase64()) : QString());
            }
        }
        reply(formats);
    } else {
        reply({{QStringLiteral("error"), QString::fromUtf8(line)}});
    }
}

void TextFieldsWindow::catchUpWithTheServer()
{
    // Qt keeps the list of a foreign clipboard's formats until it has handled the event that
    // says the owner changed. After a round trip that event, sent before the reply, has been
    // read, and handling the pending events drops the stale list.
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return;
    xcb_connection_t* connection = x11->connection();
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    QCoreApplication::processEvents();
}

void TextFieldsWindow::reply(const QJsonObject& object)
{
    const QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Compact);
    std::fwrite(json.constData(), 1, json.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
