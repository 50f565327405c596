#pragma once

#include "Models/UserData.h"

#include <QMap>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The real Velmora program, started as its user starts it, in a home of its own (data, settings
// and runtime folders) whose library is the one given; for benchmarks that measure it from
// outside. Stopped, if still running, when destroyed.
class VelmoraProgram {
public:
    explicit VelmoraProgram(QString program);
    ~VelmoraProgram();

    // Writes `library` as the program's library file; false when it could not be written.
    bool seed(const UserData& library);
    // Starts the program; true once it runs.
    bool launch();
    void stop();

    qint64 processId() const { return m_process.processId(); }
    QProcess& process() { return m_process; }
    // Where the program keeps its library and other files.
    QString dataFolder() const;

    // The CPU time (user and system) of a running process and of the children it started.
    static double cpuMilliseconds(qint64 process);
    // How long the process's main thread has waited, ready to run, for a processor: on a
    // loaded machine the share of a latency that is the load's.
    static double runQueueMilliseconds(qint64 process);
    // The time each of the process's threads now running has spent on a processor, to the
    // nanosecond (the kernel's scheduler accounts), by thread id, with the thread's name: fine
    // enough for a single short step, which the CPU time in clock ticks is not.
    struct ThreadTime {
        QString name;
        double milliseconds = 0;
    };
    static QMap<qint64, ThreadTime> threadMilliseconds(qint64 process);
    static qint64 residentMegabytes(qint64 process);

private:
    QString m_program;
    QTemporaryDir m_home;
    QProcess m_process;
};
