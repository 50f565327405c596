#pragma once

#include <QWidget>

class GlassTextInput;
class QAbstractButton;

// Where the shortcut form makes a folder without leaving the screen: first a small
// "New folder" link; once clicked, a row with a name field, a create button (disabled
// while the name is blank) and a cancel button. The form does the creating.
class NewFolderRow : public QWidget {
    Q_OBJECT
public:
    explicit NewFolderRow(QWidget* parent = nullptr);

    bool isOpen() const { return m_open; }
    // Shows the name row in place of the link and puts the keyboard focus in its field.
    void open();
    // Shows the link again; the typed name is dropped.
    void close();
    QString name() const;

    QAbstractButton* link() const { return m_link; }
    GlassTextInput* nameInput() const { return m_name; }
    QAbstractButton* createButton() const { return m_create; }
    QAbstractButton* cancelButton() const { return m_cancel; }

Q_SIGNALS:
    // Return in the name field or the create button.
    void createRequested();
    void nameChanged(const QString& name);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setOpen(bool open);

    bool m_open = false;
    QAbstractButton* m_link;
    QWidget* m_row;
    GlassTextInput* m_name;
    QAbstractButton* m_create;
    QAbstractButton* m_cancel;
};
