#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QWidget>

// One window with three fields. Commands arrive one per line on stdin; every command gets one
// line of JSON on stdout:
//   focus <line|area|password>     move keyboard focus (without a key or click the engine sees)
//   set <field> [<base64 utf-8>]   replace the field's text, caret at the end
//   cursor <field> <position>      move the caret (UTF-16 position)
//   state                          {"line", "area", "password": texts, "focus": field name,
//                                   "cursor", "selectionStart", "selectionLength": of the focused field,
//                                   "active": whether the window has the keyboard}
//   clip-set <json object>         own the clipboard with {mime type: base64 data}
//   clip-image <width> <height>    own the clipboard with an image, as a Qt program copying one does
//   clip-get [<mime type>]         the clipboard as {mime type: base64 data}, as it is now;
//                                  with a type, only that type's data
//   hang <milliseconds>            stop answering anyone for that long
//   late-paste <milliseconds>      the line edit takes its next paste key at once but reads the
//                                  clipboard and pastes only that long later, while it goes on
//                                  answering and taking other keys, as a page busy in a thread of its
//                                  own for a moment does while its browser answers for it
//   rewrite <milliseconds>         from now on the line edit sets its own text again that long
//                                  after each change, as input masks and formatters do (0: never)
//   watch <base64 utf-8>           note when the line edit's text first contains this text
//   arrival                        {"nanoseconds": steady clock time of that moment, or -1}
//   quit
class TextFieldsWindow : public QWidget {
    Q_OBJECT
public:
    TextFieldsWindow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void readCommands();
    void run(const QByteArray& line);
    QWidget* field(const QByteArray& name) const;
    void reply(const QJsonObject& object);
    void catchUpWithTheServer();

    QLineEdit* m_line;
    QPlainTextEdit* m_area;
    QLineEdit* m_password;
    QSocketNotifier* m_input;
    QByteArray m_pending;
    QString m_watched;
    qint64 m_arrival = -1;
    int m_rewriteAfter = 0;
    int m_latePaste = 0;
    bool m_rewriteUpper = false;
};
