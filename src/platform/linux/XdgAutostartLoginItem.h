#pragma once

#include "platform/LoginItem.h"

#include <QByteArray>
#include <QString>

// Launch at login through the freedesktop autostart folder: registered means a desktop entry
// of ours in $XDG_CONFIG_HOME/autostart that starts this executable.
class XdgAutostartLoginItem final : public LoginItem {
public:
    // The entry's file name inside the autostart folder.
    static constexpr const char* entryFileName = "velmora.desktop";

    // `autostartFolder` and `executable` default to the user's autostart folder and the
    // running program's own file (Qt follows /proc/self/exe past any symbolic link), so that
    // the entry starts the installed executable however this one was started.
    explicit XdgAutostartLoginItem(QString autostartFolder = defaultFolder(), QString executable = QString());

    static QString defaultFolder();
    // The desktop entry that starts `executable`.
    static QByteArray entry(const QString& executable);

    QString entryPath() const;

    void registerApplication() override;
    void unregisterApplication() override;

private:
    QString m_folder;
    QString m_executable;
};
