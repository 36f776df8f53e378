// Feeds one input as the signal status file of the magic watch page. Whatever the bytes,
// parsing must keep the first state of every key and ignore a short tail, and writing the
// table back must give whole entries in ascending key order that read back as the same table.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "CMagicStatusTable.h"

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

std::int32_t At(std::string_view bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
    return static_cast<std::int32_t>(value);
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
    return 0;
}
