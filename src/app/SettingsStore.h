// The per-user settings store: $XDG_CONFIG_HOME/Corvalin/Corvalin.conf
// (~/.config/Corvalin/Corvalin.conf when the variable is unset), one section
// [Corvalin] with one name=value line per value, all values text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/Tools.h"

namespace corvalin {

std::string SettingsStorePath();

class TSettingsStore {
public:
    // Reads the file. A missing file is an empty store; a file that exists
    // but cannot be read, is no regular file or is larger than any real
    // settings file leaves the store unopened (Opened() is false).
    static TSettingsStore Open(const std::string& path);
    // An empty store that will replace path when saved.
    static TSettingsStore Create(const std::string& path);

    bool Opened() const { return opened_; }

    std::optional<std::string> Value(const std::string& name) const;
    // Missing value or text that is no whole number: fallback.
    std::string ReadString(const std::string& name, const std::string& fallback) const;
    int32_t ReadInteger(const std::string& name, int32_t fallback) const;
    // Yes when the text is a whole number other than 0.
    bool ReadBool(const std::string& name, bool fallback) const;

    // Replaces a value in place or appends it, so a new store keeps the order
    // of writing.
    void WriteString(const std::string& name, const std::string& value);
    void WriteInteger(const std::string& name, int64_t value);
    void WriteBool(const std::string& name, bool value);

    // Writes the file atomically, creating its folder. Throws on failure.
    void Save() const;

    const std::vector<std::pair<std::string, std::string>>& Entries() const { return entries_; }

private:
    std::string path_;
    bool opened_ = false;
    std::vector<std::pair<std::string, std::string>> entries_;
    std::unordered_map<std::string, size_t> index_;  // name -> position in entries_
};

}  // namespace corvalin
