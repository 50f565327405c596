#pragma once

#include <QJsonObject>
#include <QMap>
#include <QProcess>

// The test field application (tests/helpers/text-fields) in its own process, as the other
// application a user types into. What it reports comes from the widgets themselves, not through
// the accessibility code under test.
class TextFieldsApp {
public:
    TextFieldsApp();
    ~TextFieldsApp();

    // Starts it, waits for its window and gives that window the keyboard.
    bool start();
    // Starts another program that speaks the same commands (tests/helpers/gtk-fields) or this
    // one on another display, and waits until it says it is ready; giving it the keyboard is
    // the caller's business.
    bool startProgram(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment);
    qint64 processId() const { return m_process.processId(); }

    QJsonObject command(const QString& line);
    bool focus(const QString& field);
    bool setText(const QString& field, const QString& text);
    bool setCursor(const QString& field, int position);
    QString text(const QString& field);
    QJsonObject state();
    bool setClipboard(const QMap<QString, QByteArray>& formats);
    // The clipboard as this application reads it, without the targets that only describe it.
    QMap<QString, QByteArray> clipboard();
    // The same with only `format`'s data; the other formats are listed empty.
    QMap<QString, QByteArray> clipboard(const QString& format);

    // Contents of every kind a clipboard restore must keep: UTF-8 text, HTML, a PNG image and a
    // custom type holding every byte value.
    static QMap<QString, QByteArray> mixedClipboard();

private:
    QProcess m_process;
};
