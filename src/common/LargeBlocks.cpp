#include "common/LargeBlocks.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "common/MemoryBudget.h"

namespace corvalin {

namespace {

// AddressSanitizer watches only the heap: under it every block comes from
// there, so that it sees each access beyond a picture's end.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMapBlocks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
constexpr bool kMapBlocks = false;
#else
constexpr bool kMapBlocks = true;
#endif
#else
constexpr bool kMapBlocks = true;
#endif

struct TKeptBlock {
    void* start = nullptr;
    size_t mapped = 0;
};

// A kept block serves a request up to a quarter smaller than itself: a
// little waste is cheaper than new pages, but a large block must not stay
// pinned under a small picture.
bool Serves(const TKeptBlock& block, size_t mapped)
{
    return block.mapped >= mapped && block.mapped - mapped <= mapped / 4;
}

class TBlockStore {
public:
    void* Acquire(size_t bytes)
    {
        const size_t mapped = PageRounded(bytes);
        {
            std::lock_guard lock(mutex_);
            auto best = kept_.end();
            for (auto block = kept_.begin(); block != kept_.end(); ++block)
                if (Serves(*block, mapped) && (best == kept_.end() || block->mapped < best->mapped))
                    best = block;
            if (best != kept_.end()) {
                void* start = best->start;
                kept_.erase(best);
                return start;
            }
            // The pictures have grown: kept blocks too small for this one
            // go back now rather than stand beside its new mapping.
            std::erase_if(kept_, [mapped](const TKeptBlock& block) {
                if (block.mapped >= mapped)
                    return false;
                ::munmap(block.start, block.mapped);
                return true;
            });
        }
        void* start = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (start == MAP_FAILED)
            throw std::bad_alloc();
        return start;
    }

    void Release(void* start, size_t bytes) noexcept
    {
        TKeptBlock freed{start, PageRounded(bytes)};
        std::lock_guard lock(mutex_);
        try {
            kept_.push_back(freed);
        } catch (...) {
            ::munmap(freed.start, freed.mapped);
        }
        TrimLocked();
    }

    void Keep(size_t count)
    {
        std::lock_guard lock(mutex_);
        limit_ = count;
        TrimLocked();
    }

private:
    static size_t PageRounded(size_t bytes)
    {
        static const size_t page = size_t(::sysconf(_SC_PAGESIZE));
        if (bytes > SIZE_MAX - page)
            throw std::bad_alloc();
        return (bytes + page - 1) / page * page;
    }

    void TrimLocked() noexcept
    {
        while (kept_.size() > limit_) {
            ::munmap(kept_.front().start, kept_.front().mapped);
            kept_.pop_front();
        }
    }

    std::mutex mutex_;
    std::deque<TKeptBlock> kept_;  // oldest first
    size_t limit_ = kBlocksPerFile;
};

TBlockStore& Store()
{
    static TBlockStore store;
    return store;
}

// Blocks charged to a file's memory account, until they are freed.
class TChargedBlocks {
public:
    void Add(void* block, std::shared_ptr<TAccountState> account)
    {
        std::lock_guard lock(mutex_);
        charged_.emplace(block, std::move(account));
    }
    std::shared_ptr<TAccountState> Take(void* block) noexcept
    {
        std::lock_guard lock(mutex_);
        const auto found = charged_.find(block);
        if (found == charged_.end())
            return nullptr;
        std::shared_ptr<TAccountState> account = std::move(found->second);
        charged_.erase(found);
        return account;
    }

private:
    std::mutex mutex_;
    std::unordered_map<void*, std::shared_ptr<TAccountState>> charged_;
};

TChargedBlocks& Charged()
{
    static TChargedBlocks charged;
    return charged;
}

}  // namespace

void* AcquireLargeBlock(size_t bytes)
{
    std::shared_ptr<TAccountState> account = ReserveMemory(bytes, "Die Datei");
    void* block = nullptr;
    try {
        block = kMapBlocks ? Store().Acquire(bytes) : ::operator new(bytes);
        if (account != nullptr)
            Charged().Add(block, account);
    } catch (...) {
        if (block != nullptr)
            kMapBlocks ? Store().Release(block, bytes) : ::operator delete(block);
        ReturnMemory(account, bytes);
        throw;
    }
    return block;
}

void ReleaseLargeBlock(void* block, size_t bytes) noexcept
{
    const std::shared_ptr<TAccountState> account = Charged().Take(block);
    // The block is kept (or unmapped) before its bytes go back: a file woken
    // by their return then finds it instead of mapping a block beside it.
    if (!kMapBlocks)
        ::operator delete(block);
    else
        Store().Release(block, bytes);
    ReturnMemory(account, bytes);
}

void KeepLargeBlocks(size_t count)
{
    if (kMapBlocks)
        Store().Keep(count);
}

}  // namespace corvalin
