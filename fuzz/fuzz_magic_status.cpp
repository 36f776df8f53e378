// Feeds one input as the signal status file of the magic watch page. Whatever the bytes,
// parsing must keep the first state of every key and ignore a short tail, and writing the
// table back must give whole entries in ascending key order that read back as the same table.
// Through the file: the table loads what parsing gives, updates only keys it holds, saves and
// loads back unchanged; an input of the single byte 0x18 stands for a missing file, which
// leaves the table as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/CMagicStatusTable.h"
#include "fuzz/FuzzSupport.h"
#include "platform/core/VelkFile.h"

using VelkFuzz::Require;

namespace {

std::int32_t At(std::string_view bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + i]))
                 << (8 * i);
    return static_cast<std::int32_t>(value);
}

VelkFuzz::CScratchDir& Dir()
{
    static VelkFuzz::CScratchDir dir;
    return dir;
}

void CheckThroughFile(const std::optional<std::string_view>& file,
                      const CMagicStatusTable::Entries& parsed)
{
    const std::string path = Dir().File("MagicStatus.cfg");
    VelkFuzz::PlaceFile(path, file);

    CMagicStatusTable table;
    const CMagicStatusTable::Entries before{{7, 1}};
    table.SetEntries(before);
    if (!file) {
        Require(!table.Load(path) && table.GetEntries() == before);
        return;
    }
    Require(table.Load(path) && table.GetEntries() == parsed);

    // Entries are updated, never added.
    for (std::size_t offset = 0; offset + 8 <= file->size() && offset < 64; offset += 8) {
        const std::int32_t key = At(*file, offset);
        Require(table.Update(key, ~key) && table.GetEntries().at(key) == ~key);
        const std::int32_t other = key ^ 0x40000000;
        Require(table.Update(other, 0) == (parsed.count(other) == 1));
    }
    Require(table.GetEntries().size() == parsed.size());

    Require(table.Save(path));
    std::string saved;
    Require(VelkReadFile(path, saved) && saved == CMagicStatusTable::Serialise(table.GetEntries()));
    CMagicStatusTable again;
    Require(again.Load(path) && again.GetEntries() == table.GetEntries());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const CMagicStatusTable::Entries entries = CMagicStatusTable::Parse(input);
    const std::size_t whole = size / CMagicStatusTable::kEntrySize;
    Require(entries.size() <= whole);

    CMagicStatusTable::Entries firstSeen;
    for (std::size_t i = 0; i < whole; ++i)
        firstSeen.emplace(At(input, i * 8), At(input, i * 8 + 4));
    Require(entries == firstSeen);

    const std::string written = CMagicStatusTable::Serialise(entries);
    Require(written.size() == entries.size() * CMagicStatusTable::kEntrySize);
    for (std::size_t offset = 8; offset < written.size(); offset += 8)
        Require(At(written, offset - 8) < At(written, offset));
    Require(CMagicStatusTable::Parse(written) == entries);

    CheckThroughFile(VelkFuzz::SplitInput(data, size, 1)[0], entries);
    return 0;
}
