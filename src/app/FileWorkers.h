// A fixed set of worker threads that convert files handed to them in order
// and keep each result until the front-end thread takes it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/ConvertPicture.h"
#include "picture/Bitmap.h"

namespace corvalin {

// What one file's conversion leaves for the result list.
struct TFileResult {
    std::string path;        // as the conversion left it
    int64_t after = 0;       // size of that file, measured right after
    bool failed = false;
    std::string reason;      // the failure's message
    std::unique_ptr<TBitmap> preview;
    TConversionOutcome outcome{};  // skipped, quality chosen, note on the source
};

// How much lower than the thread that starts them the workers run: a
// weight a fifth of the front-end thread's lets it in at once when it wakes,
// while the workers still get every core it leaves idle.
inline constexpr int kWorkerNiceStep = 7;

class TFileWorkers {
public:
    using Task = std::function<TFileResult()>;

    explicit TFileWorkers(int workers);
    // Lets every task already handed over finish, then ends the threads.
    ~TFileWorkers();
    TFileWorkers(const TFileWorkers&) = delete;
    TFileWorkers& operator=(const TFileWorkers&) = delete;

    // Queues a task; the ticket names it later. Tasks start in the order
    // they were handed over.
    uint64_t Start(Task task);
    bool Finished(uint64_t ticket) const;
    // The result of a finished task; the ticket is spent.
    TFileResult Take(uint64_t ticket);
    // Returns when some task has finished since the last call, or after
    // timeout, whichever comes first.
    void WaitForFinish(std::chrono::milliseconds timeout);

private:
    void Work();

    mutable std::mutex mutex_;
    std::condition_variable queued_;
    std::condition_variable finished_;
    std::deque<std::pair<uint64_t, Task>> queue_;
    std::map<uint64_t, TFileResult> done_;
    uint64_t nextTicket_ = 0;
    bool finishedSinceWait_ = false;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace corvalin
