#include "engine/CMagicStatusTable.h"

#include <optional>

#include "platform/core/CVelkFileLock.h"
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

std::optional<std::int32_t> StateOf(const CMagicStatusTable::Entries& entries, std::int32_t key)
{
    auto it = entries.find(key);
    if (it == entries.end())
        return std::nullopt;
    return it->second;
}

// Three-way join by key; false when both sides changed one key differently.
bool MergeEntries(const CMagicStatusTable::Entries& base, const CMagicStatusTable::Entries& ours,
                  const CMagicStatusTable::Entries& theirs, CMagicStatusTable::Entries& merged)
{
    merged.clear();
    std::map<std::int32_t, bool> keys;
    for (const auto* side : {&base, &ours, &theirs})
        for (const auto& entry : *side)
            keys.emplace(entry.first, true);
    for (const auto& entry : keys) {
        const std::int32_t key = entry.first;
        const auto b = StateOf(base, key);
        const auto o = StateOf(ours, key);
        const auto t = StateOf(theirs, key);
        std::optional<std::int32_t> chosen;
        if (o == b || o == t)
            chosen = t;
        else if (t == b)
            chosen = o;
        else
            return false;
        if (chosen)
            merged.emplace(key, *chosen);
    }
    return true;
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
    m_base[path] = m_entries;
    return true;
}

bool CMagicStatusTable::Save(const std::string& path)
{
    m_bConflict = false;
    CVelkFileLock lock(CVelkFileLock::ForFileOf(path));
    auto base = m_base.find(path);
    std::string bytes;
    if (base != m_base.end() && VelkReadFile(path, bytes)) {
        Entries merged;
        if (!MergeEntries(base->second, m_entries, Parse(bytes), merged)) {
            m_bConflict = true;
            return VelkFileFailure(path + ": changed by another program since it was read, "
                                          "in the same signals");
        }
        m_entries.swap(merged);
    }
    if (!VelkReplaceFile(path, Serialise(m_entries)))
        return false;
    m_base[path] = m_entries;
    return true;
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
