#include "Utilities/SerialWorker.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

// Shared by the worker and its thread, so whichever lets go last frees it.
struct SerialWorker::Queue {
    std::mutex mutex;
    std::condition_variable posted;
    std::deque<std::function<void()>> jobs;
    bool running = false;
    bool abandoned = false;

    void drain()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            posted.wait(lock, [this] { return !jobs.empty() || abandoned; });
            if (jobs.empty())
                return;
            std::function<void()> job = std::move(jobs.front());
            jobs.pop_front();
            lock.unlock();
            job();
            // Whatever the job holds goes here, off the caller's thread as well.
            job = nullptr;
            lock.lock();
        }
    }
};

SerialWorker::SerialWorker()
    : m_queue(std::make_shared<Queue>())
{
}

SerialWorker::~SerialWorker()
{
    const std::lock_guard lock(m_queue->mutex);
    m_queue->abandoned = true;
    m_queue->posted.notify_all();
}

void SerialWorker::post(std::function<void()> job)
{
    const std::lock_guard lock(m_queue->mutex);
    m_queue->jobs.push_back(std::move(job));
    if (!std::exchange(m_queue->running, true))
        std::thread([queue = m_queue] { queue->drain(); }).detach();
    else
        m_queue->posted.notify_one();
}
