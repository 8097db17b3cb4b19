#include "app/RunTargets.h"

#include <cstdlib>
#include <memory>

#include "app/OutputNames.h"
#include "common/Exceptions.h"

namespace corvalin {

namespace {

std::string RealPath(const std::string& path)
{
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                         &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

[[noreturn]] void ThrowClash(const std::string& target, const std::string& reason)
{
    throw EFCreateError(FormatText("Datei \"%s\" kann nicht erstellt werden. %s", {target, reason}));
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A source as the clash line shows it: its name alone when it lies beside
// the target (the line names the target's folder already), else its path.
std::string ShownBeside(const std::string& source, const std::string& target)
{
    return FolderOf(source) == FolderOf(target) ? source.substr(FolderOf(source).size()) : source;
}

}  // namespace

std::string FileIdentity(const std::string& path)
{
    if (std::string whole = RealPath(path); !whole.empty())
        return whole;
    // Not there yet: its folder resolved, the name as it is.
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string realFolder = RealPath(folder);
    return realFolder.empty() ? path : (realFolder == "/" ? "" : realFolder) + "/" + name;
}

void TRunTargets::Start(const std::vector<std::string>& tickedSources)
{
    std::set<std::string> waiting;
    for (const std::string& source : tickedSources)
        waiting.insert(FileIdentity(source));
    std::lock_guard lock(mutex_);
    waiting_ = std::move(waiting);
    written_.clear();
    claimed_.clear();
    nextNumber_.clear();
    running_ = true;
}

void TRunTargets::Finish()
{
    std::lock_guard lock(mutex_);
    waiting_.clear();
    written_.clear();
    claimed_.clear();
    nextNumber_.clear();
    running_ = false;
}

void TRunTargets::Begin(const std::string& source)
{
    const std::string identity = FileIdentity(source);
    std::lock_guard lock(mutex_);
    waiting_.erase(identity);
}

bool TRunTargets::WasWritten(const std::string& path) const
{
    const std::string identity = FileIdentity(path);
    std::lock_guard lock(mutex_);
    return written_.contains(identity);
}

void TRunTargets::CheckTarget(const std::string& target, const std::string& source, bool saveAsCopy) const
{
    const std::string identity = FileIdentity(target);
    std::lock_guard lock(mutex_);
    if (const auto earlier = written_.find(identity); earlier != written_.end())
        ThrowClash(target,
                   FormatText("Diese Datei wurde in diesem Lauf schon aus %s erstellt; %s wird nicht konvertiert.",
                              {ShownBeside(earlier->second, target), ShownBeside(source, target)}));
    if (!saveAsCopy && waiting_.contains(identity))
        ThrowClash(target, "Diese Datei ist selbst zum Umwandeln markiert und noch nicht an der Reihe.");
}

void TRunTargets::Written(const std::string& target, const std::string& source)
{
    const std::string identity = FileIdentity(target);
    std::lock_guard lock(mutex_);
    if (running_)
        written_.emplace(identity, source);
}

std::string TRunTargets::ClaimFreeName(const std::string& target)
{
    // Far more than any folder holds of one name; beyond it a full folder
    // fails the file instead of testing names for ever.
    constexpr int kMaxNumber = 99999;
    std::lock_guard lock(mutex_);
    int unremembered = 0;
    int& next = running_ ? nextNumber_[FileIdentity(target)] : unremembered;
    for (; next <= kMaxNumber; ++next) {
        const std::string name = next == 0 ? target : NumberedName(target, next);
        const std::string identity = FileIdentity(name);
        if (!NameTaken(name) && !written_.contains(identity) && !claimed_.contains(identity)) {
            if (running_)
                claimed_.insert(identity);
            ++next;
            return name;
        }
    }
    ThrowClash(target, "Es ist kein nummerierter Name mehr frei.");
}

}  // namespace corvalin
