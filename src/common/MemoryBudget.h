// The memory budget of a batch run: the pictures, canvases, decoding
// buffers and files read whole of the files converted at once share it.
// Every file has an account; every large block (LargeBlocks.h) a file's
// thread takes is reserved from its account before it is mapped, and goes
// back when it is freed or, at the latest, when the file is done.
//
// A file whose first reservation does not fit waits while other files hold
// the budget. A file under way that needs more waits while another file
// that is not waiting itself holds the budget. When every holder waits,
// none could ever go on: then the file that began last gives up (its
// reservation throws EGiveUpMemory), its conversion unwinds and frees all it
// holds, and the batch run tries it again once every file that began before
// it is done. Why this way: the budget is never exceeded (granting one holder
// beyond it would let two large pictures sit side by side after all), no
// file waits for another in a circle, nothing is lost, and the file that
// began first always goes on, so every file ends; giving up costs only the
// work the youngest file had done. A file whose own reservations alone
// exceed the budget fails with EOutOfResources "Systemressourcen erschöpft."
// and the sizes.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>

namespace corvalin {

class TMemoryBudget;

// Thrown into the conversion of the file that gives up its memory. Not one
// of the program's own errors, so that no reader takes it for damage and
// goes on without it; the batch run catches it and tries the file again.
class EGiveUpMemory : public std::runtime_error {
public:
    EGiveUpMemory();
};

// What one file holds of a budget; lives on with the blocks charged to it.
struct TAccountState {
    TMemoryBudget* budget = nullptr;
    uint64_t held = 0;
    uint64_t order = 0;   // when its file began: the younger gives up first
    bool gaveUp = false;  // every later reservation throws EGiveUpMemory again
    // Cleared when the file ends, before the budget may go: a block freed
    // later never touches the budget.
    std::atomic<bool> open{true};
};

class TMemoryBudget {
public:
    explicit TMemoryBudget(uint64_t limitBytes) : limit_(limitBytes) {}
    uint64_t Limit() const { return limit_; }
    // Bytes reserved by all accounts now, and the most ever reserved at once.
    uint64_t Used() const;
    uint64_t Peak() const;
    // A file's place in the order of files: later files get higher numbers.
    uint64_t NextFileOrder();
    // Waits until no file that began before `order` holds any of the budget.
    void WaitForOlderFiles(uint64_t order);

private:
    friend class TMemoryAccount;
    friend void ReturnMemory(const std::shared_ptr<TAccountState>&, uint64_t) noexcept;

    void ReserveFor(TAccountState& account, uint64_t bytes, const char* what);
    void ReturnLocked(TAccountState& account, uint64_t bytes);

    uint64_t limit_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t used_ = 0;
    uint64_t peak_ = 0;
    std::set<uint64_t> holders_;         // the orders of the accounts holding any bytes
    std::set<uint64_t> waitingHolders_;  // of those, the ones waiting for more
    uint64_t nextOrder_ = 0;
};

// One file's account: what is still charged to it when it ends goes back
// to the budget then; blocks freed later change nothing.
class TMemoryAccount {
public:
    // The account of the file numbered `order` by NextFileOrder (the same
    // number again when the file is tried again).
    TMemoryAccount(TMemoryBudget& budget, uint64_t order);
    ~TMemoryAccount();
    TMemoryAccount(const TMemoryAccount&) = delete;
    TMemoryAccount& operator=(const TMemoryAccount&) = delete;

    // Reserves bytes for what (a German noun phrase for the reason, e.g.
    // "Die Datei"), waiting as described above.
    void Reserve(uint64_t bytes, const char* what);
    uint64_t Held() const;
    // Whether a reservation of this account gave up (see above).
    bool GaveUp() const;
    const std::shared_ptr<TAccountState>& State() const { return state_; }

private:
    std::shared_ptr<TAccountState> state_;
};

// The account of the file this thread converts, for the readers below the
// batch run; none outside a run (tests, fuzzers, single loads).
class TAccountScope {
public:
    explicit TAccountScope(TMemoryAccount* account);
    ~TAccountScope();
    TAccountScope(const TAccountScope&) = delete;
    TAccountScope& operator=(const TAccountScope&) = delete;

private:
    TMemoryAccount* previous_;
};

// Reserves from this thread's account and returns it, to be handed to
// ReturnMemory when the bytes are freed; null (nothing reserved) when the
// thread has no account.
std::shared_ptr<TAccountState> ReserveMemory(uint64_t bytes, const char* what);
void ReturnMemory(const std::shared_ptr<TAccountState>& account, uint64_t bytes) noexcept;

// Half the physical memory or of the memory limit of the process's cgroup
// (or any cgroup above it), whichever is smaller.
uint64_t DefaultMemoryBudget();

}  // namespace corvalin
