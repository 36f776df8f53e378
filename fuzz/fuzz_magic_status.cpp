// Reads one input as MagicStatus.cfg (a part that stands for no file means none): the table
// loads the whole 8-byte entries, the first state of a key winning, saves them in ascending
// key order, and what it saves loads back as the same table. A file that cannot be read
// leaves the table as it was.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "CMagicStatusTable.h"
#include "FuzzSupport.h"

using VelkFuzz::Require;

namespace {

VelkFuzz::CScratchDir& Dir()
{
    static VelkFuzz::CScratchDir dir;
    return dir;
}

std::int32_t Int32At(const char* p)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(p[i]);
    return static_cast<std::int32_t>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = Dir().File("MagicStatus.cfg");
    const auto file = VelkFuzz::SplitInput(data, size, 1)[0];
    VelkFuzz::PlaceFile(path, file);

    CMagicStatusTable table;
    const CMagicStatusTable::Entries before{{7, 1}};
    table.SetEntries(before);
    if (!table.Load(path)) {
        Require(!file);
        Require(table.GetEntries() == before);
        return 0;
    }
    Require(file.has_value());

    std::map<std::int32_t, std::int32_t> expected;
    for (std::size_t at = 0; at + 8 <= file->size(); at += 8)
        expected.emplace(Int32At(file->data() + at), Int32At(file->data() + at + 4));
    Require(table.GetEntries() == expected);

    // Entries are updated, never added.
    for (std::size_t at = 0; at + 8 <= file->size() && at < 64; at += 8) {
        const std::int32_t key = Int32At(file->data() + at);
        Require(table.Update(key, ~key));
        Require(table.GetEntries().at(key) == ~key);
        Require(table.Update(key ^ 0x40000000, 0) == (expected.count(key ^ 0x40000000) == 1));
    }
    Require(table.GetEntries().size() == expected.size());

    Require(table.Save(path));
    std::string saved;
    Require(VelkReadFile(path, saved));
    Require(saved.size() == 8 * table.GetEntries().size());
    std::int64_t previous = INT64_MIN;
    for (std::size_t at = 0; at < saved.size(); at += 8) {
        const std::int32_t key = Int32At(saved.data() + at);
        Require(key > previous);
        previous = key;
    }
    CMagicStatusTable again;
    Require(again.Load(path) && again.GetEntries() == table.GetEntries());
    return 0;
}
