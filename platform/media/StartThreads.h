// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vantrel::media {

// The threads on which recordings are prepared, off the main thread (opening a stream, the
// sound and the file takes a while). Each is joined at the next start once it has finished, and
// every one when this goes, so none outlives the recorder that started it.
class StartThreads
{
public:
    StartThreads() = default;
    StartThreads(const StartThreads&) = delete;
    StartThreads& operator=(const StartThreads&) = delete;

    ~StartThreads()
    {
        std::lock_guard lock(m_lock);
        for (Entry& entry : m_entries)
            entry.thread.join();
    }

    void run(std::function<void()> work)
    {
        std::lock_guard lock(m_lock);
        std::erase_if(m_entries, [](Entry& entry) {
            if (!entry.done->load())
                return false;
            entry.thread.join();
            return true;
        });
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::thread thread([work = std::move(work), done] {
            work();
            done->store(true);
        });
        m_entries.push_back({std::move(thread), std::move(done)});
    }

private:
    struct Entry
    {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::mutex m_lock;
    std::vector<Entry> m_entries;
};

} // namespace vantrel::media
