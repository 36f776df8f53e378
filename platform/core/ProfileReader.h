#pragma once

#include <map>
#include <string>
#include <utility>

// Reads a Windows-style profile (INI) file the way the platform's profile reader does:
// section and key names match regardless of case, values are trimmed, a missing file,
// section or key gives the default.
class CProfileReader {
public:
    explicit CProfileReader(const std::string& path);
    bool IsOpen() const { return m_bOpen; }
    int GetInt(const std::string& section, const std::string& key, int defaultValue) const;
    // At most maxChars characters of the value.
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue, std::size_t maxChars = 259) const;

private:
    bool Find(const std::string& section, const std::string& key, std::string& value) const;
    // The file is read once: (section, key), both folded to lower case -> the value of the
    // key's first occurrence in the file. A caller reading thousands of keys (one colour per
    // signal) must not scan the whole file for each.
    std::map<std::pair<std::string, std::string>, std::string> m_values;
    bool m_bOpen = false;
};
