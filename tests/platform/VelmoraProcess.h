#pragma once

#include <QList>
#include <utility>

#include <QProcess>
#include <QRect>
#include <QString>
#include <QTemporaryDir>
#include <optional>

// The velmora program in a process of its own, started as a user would start it, with its
// data, configuration and runtime folders in a private temporary folder, on the session
// scripts/with-desktop.sh provides.
class VelmoraProcess {
public:
    VelmoraProcess();
    ~VelmoraProcess();

    static QString programPath();
    // A library file holding one shortcut, or a few (trigger, expansion).
    static QByteArray libraryWithShortcut(const QString& trigger, const QString& expansion);
    static QByteArray libraryWithShortcuts(const QList<std::pair<QString, QString>>& shortcuts);

    // Variables to set (an empty value unsets) over the session's own, for this start and the
    // later ones, such as a Wayland session's.
    void setEnvironment(const QProcessEnvironment& overrides) { m_overrides = overrides; }
    bool start(const QStringList& arguments = {});
    qint64 processId() const { return m_process.processId(); }
    QProcess& process() { return m_process; }
    // Starts the program again, as a second start while this one runs would, with
    // `arguments`; its exit code.
    int startAgain(const QStringList& arguments = {});
    // The runtime folder of the program (where its single-instance socket lives).
    QString runtimeFolder() const;

    QString dataFolder() const;
    QString dataFile(const QString& name) const;
    void writeDataFile(const QString& name, const QByteArray& bytes) const;

    // The popover's window on screen, if it is shown.
    std::optional<QRect> popoverGeometry();
    bool waitForPopover(bool shown, int milliseconds = 5000);

    // The X display the clipboard keeper this process started was given (its DISPLAY), empty
    // while it has none.
    QByteArray clipboardKeeperDisplay() const;

    // Resident memory in kilobytes and the processor time used so far in clock ticks.
    qint64 residentKilobytes() const;
    qint64 cpuTicks() const;

    bool waitForExit(int milliseconds = 5000);

private:
    QProcessEnvironment environment() const;

    QTemporaryDir m_home;
    QProcessEnvironment m_overrides;
    QProcess m_process;
};
