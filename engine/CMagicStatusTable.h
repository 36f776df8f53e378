#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>

// The signal status table of the magic watch page: signal key -> state, kept in
// "../SYS/MagicStatus.cfg" relative to the current directory as 8-byte little-endian entries
// (key, then state) in ascending key order, with no header.
class CMagicStatusTable {
public:
    using Entries = std::map<std::int32_t, std::int32_t>;

    static constexpr const char* kFilePath = "../SYS/MagicStatus.cfg";
    static constexpr std::size_t kEntrySize = 8;

    // The whole entries of a file in file order: a key met twice keeps its first state and a
    // trailing piece shorter than an entry is ignored.
    static Entries Parse(std::string_view bytes);
    static std::string Serialise(const Entries& entries);

    // A file that cannot be read leaves the table as it was; false then.
    bool Load(const std::string& path = kFilePath);
    // The file is replaced whole or not at all; false when it could not be written (the
    // directory belongs to the host and is never created here). The read of the file and the
    // write are done under the folder's lock, and the states another program stored since
    // this table last read or wrote the file are kept: a key only one side changed takes that
    // side's state. Where both changed one key differently nothing is written, false is
    // returned and Conflict() is true.
    bool Save(const std::string& path = kFilePath);
    bool Conflict() const { return m_bConflict; }

    // Sets the state of a key the table already holds; a key it lacks is not added. True when
    // the key was there.
    bool Update(std::int32_t key, std::int32_t state);

    const Entries& GetEntries() const { return m_entries; }
    void SetEntries(Entries entries) { m_entries = std::move(entries); }

private:
    Entries m_entries;
    // The file's entries as last read or written, by path: the common ground of a save and
    // another program's changes.
    std::map<std::string, Entries> m_base;
    bool m_bConflict = false;
};

// The one table of the library, shared by every magic watch page for the life of the module.
CMagicStatusTable& VelkMagicStatusTable();
