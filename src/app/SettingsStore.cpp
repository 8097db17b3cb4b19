#include "app/SettingsStore.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "common/Exceptions.h"
#include "common/FileIO.h"

namespace corvalin {

namespace {

constexpr const char* kSection = "[Corvalin]";
// A real settings file holds a few hundred bytes.
constexpr int64_t kMaxSettingsFileBytes = 1 << 20;

std::string_view TrimLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    return line;
}

}  // namespace

std::string SettingsStorePath()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config != nullptr && config[0] != '\0') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home != nullptr ? home : "") + "/.config";
    }
    return base + "/Corvalin/Corvalin.conf";
}

TSettingsStore TSettingsStore::Create(const std::string& path)
{
    TSettingsStore store;
    store.path_ = path;
    store.opened_ = true;
    return store;
}

TSettingsStore TSettingsStore::Open(const std::string& path)
{
    TSettingsStore store;
    store.path_ = path;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        store.opened_ = errno == ENOENT;  // a missing file is an empty store
        return store;
    }
    TLargeBytes bytes;
    try {
        // Read like a picture: no blocking, regular files only, and a cap no
        // real settings file reaches (a link to /dev/zero must not fill memory).
        bytes = ReadWholeFile(path, kMaxSettingsFileBytes);
    } catch (const EStreamError&) {
        return store;  // the store could not be opened
    }
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    bool inSection = false;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = TrimLineEnd(text.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line.front() == '[') {
            inSection = line == kSection;
            continue;
        }
        const size_t equals = line.find('=');
        if (!inSection || equals == std::string::npos || equals == 0)
            continue;  // not name=value: ignored
        store.WriteString(std::string(line.substr(0, equals)), std::string(line.substr(equals + 1)));
    }
    store.opened_ = true;
    return store;
}

std::optional<std::string> TSettingsStore::Value(const std::string& name) const
{
    const auto found = index_.find(name);
    if (found == index_.end())
        return std::nullopt;
    return entries_[found->second].second;
}

std::string TSettingsStore::ReadString(const std::string& name, const std::string& fallback) const
{
    return Value(name).value_or(fallback);
}

int32_t TSettingsStore::ReadInteger(const std::string& name, int32_t fallback) const
{
    const auto text = Value(name);
    if (!text)
        return fallback;
    return ParseInteger(*text).value_or(fallback);
}

bool TSettingsStore::ReadBool(const std::string& name, bool fallback) const
{
    const auto text = Value(name);
    if (!text)
        return fallback;
    const auto number = ParseInteger(*text);
    return number ? *number != 0 : fallback;
}

void TSettingsStore::WriteString(const std::string& name, const std::string& value)
{
    // The index keeps loading linear: a file of many names must not take
    // quadratic time at every start.
    const auto [found, added] = index_.try_emplace(name, entries_.size());
    if (added)
        entries_.emplace_back(name, value);
    else
        entries_[found->second].second = value;
}

void TSettingsStore::WriteInteger(const std::string& name, int64_t value)
{
    WriteString(name, std::to_string(value));
}

void TSettingsStore::WriteBool(const std::string& name, bool value)
{
    WriteString(name, value ? "1" : "0");
}

void TSettingsStore::Save() const
{
    std::filesystem::create_directories(std::filesystem::path(path_).parent_path());
    std::string text = std::string(kSection) + "\n";
    for (const auto& [name, value] : entries_) {
        // One line per value: a line break inside a value would split it.
        std::string flat = value;
        for (char& c : flat)
            if (c == '\n' || c == '\r')
                c = ' ';
        text += name + "=" + flat + "\n";
    }
    WriteFileAtomically(path_, [&](TStream& file) { file.WriteBuffer(text.data(), text.size()); });
}

}  // namespace corvalin
