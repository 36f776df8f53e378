#pragma once

// What the fuzz targets share: one scratch directory for the whole run, a check that aborts
// (so libFuzzer and the corpus replay both report it), and the split of one input into the
// several files a reader takes together.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "platform/core/VelkFile.h"

namespace VelkFuzz {

inline void Require(bool condition)
{
    if (!condition)
        std::abort();
}

// A directory that lives as long as the process: the targets write their files here.
class CScratchDir {
public:
    CScratchDir()
    {
        std::string templ = (std::filesystem::temp_directory_path() / "velk-fuzz-XXXXXX").string();
        Require(::mkdtemp(templ.data()) != nullptr);
        m_path = templ;
    }
    ~CScratchDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    CScratchDir(const CScratchDir&) = delete;
    CScratchDir& operator=(const CScratchDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return VelkJoinPath(m_path, name); }

private:
    std::string m_path;
};

// Parts of an input are separated by this marker; a part that is exactly kAbsent stands for a
// file that does not exist, and so does every part after the last marker. The last part takes
// everything that is left, markers included.
inline constexpr std::string_view kSeparator = "\n%%VELK%%\n";
inline constexpr std::string_view kAbsent = "\x18";

inline std::vector<std::optional<std::string_view>> SplitInput(const std::uint8_t* data,
                                                               std::size_t size, std::size_t parts)
{
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<std::optional<std::string_view>> out(parts);
    for (std::size_t i = 0; i < parts; ++i) {
        std::size_t end = i + 1 < parts ? rest.find(kSeparator) : std::string_view::npos;
        std::string_view part = rest.substr(0, end);
        if (part != kAbsent)
            out[i] = part;
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + kSeparator.size());
    }
    return out;
}

// Writes a part as a file, or removes the file when the part stands for none. A plain write:
// the inputs need no durability, and the targets run faster without it.
inline void PlaceFile(const std::string& path, const std::optional<std::string_view>& content)
{
    std::error_code ec;
    std::filesystem::remove(path, ec);
    if (!content)
        return;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    Require(file != nullptr);
    if (!content->empty())
        Require(std::fwrite(content->data(), 1, content->size(), file) == content->size());
    Require(std::fclose(file) == 0);
}

} // namespace VelkFuzz
