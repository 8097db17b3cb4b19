#include "app/FileWorkers.h"

#include <algorithm>
#include <cerrno>
#include <exception>

#include <sys/resource.h>
#include <unistd.h>

#include "common/Exceptions.h"
#include "common/LargeBlocks.h"

namespace corvalin {

namespace {

// A task turns its own failures into its result; this only guards against
// one escaping anyway, which must not end the program.
TFileResult RunGuarded(const TFileWorkers::Task& task)
{
    try {
        return task();
    } catch (const std::exception& error) {
        return TFileResult{"", 0, true, ReasonOf(error), nullptr};
    } catch (...) {
        return TFileResult{"", 0, true, "Unbekannter Fehler", nullptr};
    }
}

// Workers give way to the thread that hands them files: it wakes only to
// repaint the windows and take results, and while every worker converts a
// large picture the scheduler would otherwise let it wait behind them for
// many time slices, so that the windows freeze and a cancel goes unheard.
// On Linux the nice value belongs to the thread. Where it cannot be
// changed the worker simply runs as it is.
void GiveWayToFrontEnd()
{
    constexpr int kLowestPriority = 19;
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, gettid());
    if (current == -1 && errno != 0)
        return;
    setpriority(PRIO_PROCESS, gettid(), std::min(current + kWorkerNiceStep, kLowestPriority));
}

}  // namespace

TFileWorkers::TFileWorkers(int workers)
{
    // Each worker's next file reuses the memory of its last one.
    KeepLargeBlocks(kBlocksPerFile * size_t(workers));
    threads_.reserve(size_t(workers));
    for (int i = 0; i < workers; ++i)
        threads_.emplace_back([this] { Work(); });
}

TFileWorkers::~TFileWorkers()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    queued_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
    KeepLargeBlocks(kBlocksPerFile);
}

uint64_t TFileWorkers::Start(Task task)
{
    uint64_t ticket = 0;
    {
        std::lock_guard lock(mutex_);
        ticket = nextTicket_++;
        queue_.emplace_back(ticket, std::move(task));
    }
    queued_.notify_one();
    return ticket;
}

bool TFileWorkers::Finished(uint64_t ticket) const
{
    std::lock_guard lock(mutex_);
    return done_.contains(ticket);
}

TFileResult TFileWorkers::Take(uint64_t ticket)
{
    std::lock_guard lock(mutex_);
    auto found = done_.find(ticket);
    TFileResult result = std::move(found->second);
    done_.erase(found);
    return result;
}

void TFileWorkers::WaitForFinish(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    finished_.wait_for(lock, timeout, [this] { return finishedSinceWait_; });
    finishedSinceWait_ = false;
}

void TFileWorkers::Work()
{
    GiveWayToFrontEnd();
    while (true) {
        std::pair<uint64_t, Task> job;
        {
            std::unique_lock lock(mutex_);
            queued_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            // Stopping waits for the queue to empty: a handed-over file is
            // always finished and saved.
            if (queue_.empty())
                return;
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        TFileResult result = RunGuarded(job.second);
        job.second = nullptr;
        {
            std::lock_guard lock(mutex_);
            done_.emplace(job.first, std::move(result));
            finishedSinceWait_ = true;
        }
        finished_.notify_all();
    }
}

}  // namespace corvalin
