#include "TextFieldsApp.h"

#include "DesktopSession.h"
#include "platform/linux/PasteboardTypes.h"

#include <QBuffer>
#include <QImage>
#include <QJsonDocument>
#include <QProcessEnvironment>

TextFieldsApp::TextFieldsApp() = default;

TextFieldsApp::~TextFieldsApp()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.write("quit\n");
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

bool TextFieldsApp::start()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    if (!startProgram(QStringLiteral(VELMORA_TEXT_FIELDS), {}, environment))
        return false;
    // Keys typed with xdotool go to the window with the X input focus.
    return DesktopSession::focusWindowOf(processId());
}

bool TextFieldsApp::startProgram(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment)
{
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(5000))
        return false;
    if (!DesktopSession::waitFor([this] { return m_process.canReadLine(); }, 10000))
        return false;
    m_process.readLine();
    return true;
}

QJsonObject TextFieldsApp::command(const QString& line)
{
    m_process.write(line.toUtf8() + '\n');
    if (!DesktopSession::waitFor([this] { return m_process.canReadLine(); }, 5000))
        return {};
    return QJsonDocument::fromJson(m_process.readLine()).object();
}

bool TextFieldsApp::focus(const QString& field)
{
    return command(QStringLiteral("focus ") + field).value(QStringLiteral("ok")).toBool();
}

bool TextFieldsApp::setText(const QString& field, const QString& text)
{
    return command(QStringLiteral("set %1 %2").arg(field, QString::fromLatin1(text.toUtf8().toBase64())))
        .value(QStringLiteral("ok"))
        .toBool();
}

bool TextFieldsApp::setCursor(const QString& field, int position)
{
    return command(QStringLiteral("cursor %1 %2").arg(field).arg(position)).value(QStringLiteral("ok")).toBool();
}

QString TextFieldsApp::text(const QString& field)
{
    return state().value(field).toString();
}

QJsonObject TextFieldsApp::state()
{
    return command(QStringLiteral("state"));
}

bool TextFieldsApp::setClipboard(const QMap<QString, QByteArray>& formats)
{
    QJsonObject object;
    for (auto it = formats.begin(); it != formats.end(); ++it)
        object.insert(it.key(), QString::fromLatin1(it.value().toBase64()));
    return command(
        QStringLiteral("clip-set ") + QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)))
        .value(QStringLiteral("ok"))
        .toBool();
}

QMap<QString, QByteArray> TextFieldsApp::clipboard()
{
    return clipboard(QString());
}

QMap<QString, QByteArray> TextFieldsApp::clipboard(const QString& format)
{
    QMap<QString, QByteArray> formats;
    const QJsonObject object = command(QStringLiteral("clip-get ") + format);
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!PasteboardTypes::isMetaTarget(it.key()))
            formats.insert(it.key(), QByteArray::fromBase64(it.value().toString().toLatin1()));
    }
    return formats;
}

QMap<QString, QByteArray> TextFieldsApp::mixedClipboard()
{
    QImage image(7, 5, QImage::Format_ARGB32);
    image.fill(QColor(10, 200, 30, 128));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    QByteArray everyByte;
    for (int i = 0; i < 256; ++i)
        everyByte.append(char(i));
    return {
        {"text/plain;charset=utf-8", QByteArray("Grüße \xF0\x9F\x98\x80 and more")},
        {"text/html", QByteArray("<p>copied <i>html</i></p>")},
        {"image/png", png},
        {"application/x-velmora-test-binary", everyByte},
    };
}
