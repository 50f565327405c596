#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// One thread that runs the jobs handed to it, one at a time, in the order they came. The
// store writes its files through it, so a large file is written while the interface goes on
// answering, and a later version of a file can never land before an earlier one.
class OrderedWriter {
public:
    using Job = std::function<void()>;

    OrderedWriter();
    // Runs what is queued, then ends the thread.
    ~OrderedWriter();
    OrderedWriter(const OrderedWriter&) = delete;
    OrderedWriter& operator=(const OrderedWriter&) = delete;

    void post(Job job);
    // Returns once every job posted before the call has finished.
    void waitUntilIdle();
    // Whether a job is queued or running.
    bool isBusy() const;

private:
    void run();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_jobs;
    bool m_running = false;
    bool m_stopping = false;
    std::thread m_thread;
};
