#include "engine/CMagicStatusTable.h"

#include "platform/core/VelkFile.h"

namespace {

// Byte by byte, so the file reads the same whatever the machine's byte order.
std::int32_t ReadInt32(const char* p)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(p[i]);
    return static_cast<std::int32_t>(value);
}

void AppendInt32(std::string& out, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
}

} // namespace

CMagicStatusTable::Entries CMagicStatusTable::Parse(std::string_view bytes)
{
    Entries entries;
    const std::size_t count = bytes.size() / kEntrySize;
    for (std::size_t i = 0; i < count; ++i) {
        const char* entry = bytes.data() + i * kEntrySize;
        entries.emplace(ReadInt32(entry), ReadInt32(entry + 4));
    }
    return entries;
}

std::string CMagicStatusTable::Serialise(const Entries& entries)
{
    std::string bytes;
    bytes.reserve(entries.size() * kEntrySize);
    for (const auto& [key, state] : entries) {
        AppendInt32(bytes, key);
        AppendInt32(bytes, state);
    }
    return bytes;
}

bool CMagicStatusTable::Load(const std::string& path)
{
    std::string bytes;
    if (!VelkReadFile(path, bytes))
        return false;
    m_entries = Parse(bytes);
    return true;
}

bool CMagicStatusTable::Save(const std::string& path) const
{
    return VelkReplaceFile(path, Serialise(m_entries));
}

bool CMagicStatusTable::Update(std::int32_t key, std::int32_t state)
{
    auto it = m_entries.find(key);
    if (it == m_entries.end())
        return false;
    it->second = state;
    return true;
}

CMagicStatusTable& VelkMagicStatusTable()
{
    static CMagicStatusTable table;
    return table;
}
