#pragma once

#include <functional>
#include <memory>

// Runs jobs one after another, in the order they were posted, on a thread of its own that
// starts with the first job. The thread is never joined: a job may wait on the user for as
// long as the user likes (a keyring's unlock prompt), and that must neither stall the caller
// nor keep the program from ending. Jobs already posted still run after the worker is gone.
class SerialWorker {
public:
    SerialWorker();
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    void post(std::function<void()> job);

private:
    struct Queue;
    std::shared_ptr<Queue> m_queue;
};
