#include "platform/core/ProfileReader.h"

#include <cctype>
#include <cstdlib>

#include "platform/core/VelkFile.h"

namespace {

std::string Trim(const std::string& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

CProfileReader::CProfileReader(const std::string& path)
{
    std::string text;
    m_bOpen = VelkReadFile(path, text);
    std::string section;
    bool inSection = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t eol = text.find('\n', pos);
        if (eol == std::string::npos)
            eol = text.size();
        std::string line = Trim(text.substr(pos, eol - pos));
        pos = eol + 1;
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            std::size_t close = line.find(']');
            inSection = close != std::string::npos;
            if (inSection)
                section = Lower(Trim(line.substr(1, close - 1)));
            continue;
        }
        std::size_t eq = line.find('=');
        if (!inSection || eq == std::string::npos)
            continue;
        std::string value = Trim(line.substr(eq + 1));
        // A value in quotes loses them, as the platform's reader does.
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        m_values.emplace(std::make_pair(section, Lower(Trim(line.substr(0, eq)))),
                         std::move(value));
    }
}

bool CProfileReader::Find(const std::string& section, const std::string& key,
                          std::string& value) const
{
    auto found = m_values.find({Lower(section), Lower(key)});
    if (found == m_values.end())
        return false;
    value = found->second;
    return true;
}

int CProfileReader::GetInt(const std::string& section, const std::string& key,
                           int defaultValue) const
{
    std::string value;
    if (!Find(section, key, value))
        return defaultValue;
    // The platform reads leading decimal digits (or a 0x number) and gives 0 for anything else.
    if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X'))
        return static_cast<int>(std::strtol(value.c_str() + 2, nullptr, 16));
    return static_cast<int>(std::strtol(value.c_str(), nullptr, 10));
}

std::string CProfileReader::GetString(const std::string& section, const std::string& key,
                                      const std::string& defaultValue, std::size_t maxChars) const
{
    std::string value;
    if (!Find(section, key, value))
        value = defaultValue;
    if (value.size() > maxChars)
        value.resize(maxChars);
    return value;
}
