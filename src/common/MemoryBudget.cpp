#include "common/MemoryBudget.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "common/Exceptions.h"

namespace corvalin {

namespace {

thread_local TMemoryAccount* currentAccount = nullptr;

std::string Megabytes(uint64_t bytes)
{
    return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB";
}

uint64_t PhysicalMemory()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGE_SIZE);
    return pages > 0 && pageSize > 0 ? uint64_t(pages) * uint64_t(pageSize) : 0;
}

// The smallest "memory.max" of the process's cgroup v2 and its ancestors; 0 when none is set.
uint64_t CgroupMemoryLimit()
{
    std::ifstream self("/proc/self/cgroup");
    std::string group;
    for (std::string line; std::getline(self, line);)
        if (line.starts_with("0::"))
            group = line.substr(3);
    if (group.empty() || group[0] != '/')
        return 0;
    uint64_t smallest = 0;
    while (true) {
        std::ifstream in("/sys/fs/cgroup" + group + (group == "/" ? "" : "/") + "memory.max");
        unsigned long long limit = 0;
        if (in >> limit && limit > 0)
            smallest = smallest == 0 ? limit : std::min<uint64_t>(smallest, limit);
        if (group == "/")
            return smallest;
        group = group.substr(0, std::max<size_t>(1, group.rfind('/')));
    }
}

}  // namespace

uint64_t TMemoryBudget::Used() const
{
    std::lock_guard lock(mutex_);
    return used_;
}

uint64_t TMemoryBudget::Peak() const
{
    std::lock_guard lock(mutex_);
    return peak_;
}

uint64_t TMemoryBudget::NextFileOrder()
{
    std::lock_guard lock(mutex_);
    return nextOrder_++;
}

void TMemoryBudget::WaitForOlderFiles(uint64_t order)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return holders_.empty() || *holders_.begin() > order; });
}

void TMemoryBudget::ReserveFor(TAccountState& account, uint64_t bytes, const char* what)
{
    std::unique_lock lock(mutex_);
    if (bytes > limit_ || account.held > limit_ - bytes)
        throw EOutOfResources(msg::OutOfResources,
                              FormatText("%s braucht %s, das Speicherbudget (maxmem) beträgt %s",
                                         {what, Megabytes(account.held + bytes), Megabytes(limit_)}));
    if (account.gaveUp)
        throw EGiveUpMemory();
    auto fits = [&] { return used_ <= limit_ && bytes <= limit_ - used_; };
    if (account.held == 0) {
        // Every holder goes on or gives up, so each one ends.
        changed_.wait(lock, fits);
        holders_.insert(account.order);
    } else if (!fits()) {
        waitingHolders_.insert(account.order);
        changed_.notify_all();
        auto allWaiting = [&] { return waitingHolders_.size() == holders_.size(); };
        changed_.wait(lock, [&] { return fits() || (allWaiting() && *waitingHolders_.rbegin() == account.order); });
        waitingHolders_.erase(account.order);
        if (!fits()) {
            account.gaveUp = true;
            throw EGiveUpMemory();
        }
    }
    account.held += bytes;
    used_ += bytes;
    peak_ = std::max(peak_, used_);
}

void TMemoryBudget::ReturnLocked(TAccountState& account, uint64_t bytes)
{
    bytes = std::min(bytes, account.held);
    if (bytes == 0)
        return;
    account.held -= bytes;
    used_ -= bytes;
    if (account.held == 0)
        holders_.erase(account.order);
    changed_.notify_all();
}

EGiveUpMemory::EGiveUpMemory() : std::runtime_error(msg::OutOfResources) {}

TMemoryAccount::TMemoryAccount(TMemoryBudget& budget, uint64_t order) : state_(std::make_shared<TAccountState>())
{
    state_->budget = &budget;
    state_->order = order;
}

TMemoryAccount::~TMemoryAccount()
{
    TMemoryBudget& b = *state_->budget;
    std::lock_guard lock(b.mutex_);
    b.ReturnLocked(*state_, state_->held);
    state_->open = false;
}

void TMemoryAccount::Reserve(uint64_t bytes, const char* what)
{
    if (bytes > 0)
        state_->budget->ReserveFor(*state_, bytes, what);
}

uint64_t TMemoryAccount::Held() const
{
    std::lock_guard lock(state_->budget->mutex_);
    return state_->held;
}

bool TMemoryAccount::GaveUp() const
{
    std::lock_guard lock(state_->budget->mutex_);
    return state_->gaveUp;
}

TAccountScope::TAccountScope(TMemoryAccount* account) : previous_(currentAccount)
{
    currentAccount = account;
}

TAccountScope::~TAccountScope()
{
    currentAccount = previous_;
}

std::shared_ptr<TAccountState> ReserveMemory(uint64_t bytes, const char* what)
{
    if (currentAccount == nullptr)
        return nullptr;
    currentAccount->Reserve(bytes, what);
    return currentAccount->State();
}

void ReturnMemory(const std::shared_ptr<TAccountState>& account, uint64_t bytes) noexcept
{
    if (account == nullptr || !account->open)
        return;
    TMemoryBudget& b = *account->budget;
    std::lock_guard lock(b.mutex_);
    if (account->open)
        b.ReturnLocked(*account, bytes);
}

uint64_t DefaultMemoryBudget()
{
    const uint64_t physical = PhysicalMemory(), cgroup = CgroupMemoryLimit();
    const uint64_t smallest = cgroup > 0 && (physical == 0 || cgroup < physical) ? cgroup : physical;
    return smallest > 0 ? smallest / 2 : uint64_t(1) << 30;
}

}  // namespace corvalin
