#include "app/SettingsStore.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/Exceptions.h"
#include "common/FileIO.h"

namespace corvalin {

namespace {

constexpr const char* kSection = "[Corvalin]";

std::string TrimLineEnd(std::string line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
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

std::optional<int32_t> ParseInteger(const std::string& text)
{
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;  // "+5" is a whole number too; from_chars only takes "-"
    int32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (first == last || error != std::errc() || end != last)
        return std::nullopt;
    return value;
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
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        store.opened_ = !error;  // a missing file is an empty store
        return store;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file || std::filesystem::is_directory(path, error))
        return store;
    std::string line;
    bool inSection = false;
    while (std::getline(file, line)) {
        line = TrimLineEnd(line);
        if (!line.empty() && line.front() == '[') {
            inSection = line == kSection;
            continue;
        }
        const size_t equals = line.find('=');
        if (!inSection || equals == std::string::npos || equals == 0)
            continue;  // not name=value: ignored
        store.WriteString(line.substr(0, equals), line.substr(equals + 1));
    }
    if (file.bad())
        return TSettingsStore{};  // a read error: the store could not be opened
    store.opened_ = true;
    return store;
}

std::optional<std::string> TSettingsStore::Value(const std::string& name) const
{
    for (const auto& [key, value] : entries_)
        if (key == name)
            return value;
    return std::nullopt;
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
    for (auto& entry : entries_)
        if (entry.first == name) {
            entry.second = value;
            return;
        }
    entries_.emplace_back(name, value);
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
