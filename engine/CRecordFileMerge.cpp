#include "engine/CRecordFileMerge.h"

#include <cstring>
#include <optional>
#include <unordered_map>

#include "engine/VelkRecords.h"

namespace {

constexpr std::size_t kRecordSize = sizeof(Ta_VELKPRICEALERT);

// A file's parts: its header blocks (missing ones when the file is shorter) and its whole
// records by stock, in file order.
struct CParts {
    std::vector<std::optional<std::string_view>> blocks;
    std::vector<std::string_view> order;
    std::unordered_map<std::string, std::string_view> records;
    bool duplicates = false;
};

// The stock of a record: its market and its code up to the first zero.
std::string KeyOf(std::string_view record)
{
    const char* code = record.data() + 1;
    return std::string(1, record[0]) + std::string(code, strnlen(code, 12));
}

CParts Split(const std::vector<std::size_t>& headerBlocks, std::string_view bytes)
{
    CParts parts;
    std::size_t at = 0;
    for (std::size_t size : headerBlocks) {
        if (at + size <= bytes.size())
            parts.blocks.emplace_back(bytes.substr(at, size));
        else
            parts.blocks.emplace_back(std::nullopt);
        at += size;
    }
    for (; at + kRecordSize <= bytes.size(); at += kRecordSize) {
        const std::string_view record = bytes.substr(at, kRecordSize);
        if (!parts.records.emplace(KeyOf(record), record).second)
            parts.duplicates = true;
        parts.order.push_back(record);
    }
    return parts;
}

template <typename T> bool Same(const std::optional<T>& a, const std::optional<T>& b)
{
    return a.has_value() == b.has_value() && (!a || *a == *b);
}

// The three-way choice for one part: the side that changed it wins; both changing it alike is
// no conflict either.
template <typename T>
bool Choose(const std::optional<T>& base, const std::optional<T>& ours,
            const std::optional<T>& theirs, std::optional<T>& out)
{
    if (Same(ours, base) || Same(ours, theirs)) {
        out = theirs;
        return true;
    }
    if (Same(theirs, base)) {
        out = ours;
        return true;
    }
    return false;
}

std::optional<std::string_view> Find(const CParts& parts, const std::string& key)
{
    auto it = parts.records.find(key);
    if (it == parts.records.end())
        return std::nullopt;
    return it->second;
}

} // namespace

bool CRecordFileMerge::Merge(const std::vector<std::size_t>& headerBlocks, std::string_view base,
                             std::string_view ours, std::string_view theirs, std::string& merged)
{
    merged.clear();
    if (theirs == base) {
        merged.assign(ours);
        return true;
    }
    const CParts b = Split(headerBlocks, base);
    const CParts o = Split(headerBlocks, ours);
    const CParts t = Split(headerBlocks, theirs);
    if (b.duplicates || o.duplicates || t.duplicates)
        return false;

    std::string out;
    // A header block missing from the result leaves the records without their offset: the
    // merged file then needs every block, whoever wrote it.
    for (std::size_t i = 0; i < headerBlocks.size(); ++i) {
        std::optional<std::string_view> block;
        if (!Choose(b.blocks[i], o.blocks[i], t.blocks[i], block))
            return false;
        if (!block) {
            if (o.blocks[i])
                block = o.blocks[i];
            else if (!o.order.empty() || !t.order.empty())
                return false;
            else
                break;
        }
        out.append(*block);
    }

    for (std::string_view record : o.order) {
        const std::string key = KeyOf(record);
        std::optional<std::string_view> chosen;
        if (!Choose(Find(b, key), std::optional<std::string_view>(record), Find(t, key), chosen))
            return false;
        if (chosen)
            out.append(*chosen);
    }
    // The ones we removed: the other must not have changed them meanwhile.
    for (std::string_view record : b.order) {
        const std::string key = KeyOf(record);
        if (o.records.count(key) == 0) {
            const std::optional<std::string_view> now = Find(t, key);
            if (now && *now != record)
                return false;
        }
    }
    for (std::string_view record : t.order) {
        const std::string key = KeyOf(record);
        if (o.records.count(key) == 0 && b.records.count(key) == 0)
            out.append(record);
    }
    merged.swap(out);
    return true;
}
