#include "Persistence/OrderedWriter.h"

OrderedWriter::OrderedWriter()
    : m_thread([this] { run(); })
{
}

OrderedWriter::~OrderedWriter()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void OrderedWriter::post(Job job)
{
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void OrderedWriter::waitUntilIdle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_jobs.empty() && !m_running; });
}

bool OrderedWriter::isBusy() const
{
    const std::lock_guard lock(m_mutex);
    return !m_jobs.empty() || m_running;
}

void OrderedWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_jobs.empty())
            return;
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_running = true;
        lock.unlock();
        job();
        job = nullptr;
        lock.lock();
        m_running = false;
        if (m_jobs.empty())
            m_idle.notify_all();
    }
}
