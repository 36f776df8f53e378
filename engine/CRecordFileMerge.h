#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Joins the changes of two writers of a condition file, each of which started from the same
// content: a header of fixed blocks followed by 151-byte watch records keyed by market and
// code. What only one side changed (a header block, a record, a record added or removed) comes
// through; where both changed the same block or record differently, or where either list holds
// a stock twice, the changes cannot be joined and the merge says so instead of choosing.
class CRecordFileMerge {
public:
    // headerBlocks: the sizes of the header's blocks in file order (none for a file without a
    // header). base: the content both started from; ours: the content this writer would write;
    // theirs: the file as it is now. On success merged holds ours with the other's changes;
    // the records come in our order, followed by the ones only the other added, in its order.
    static bool Merge(const std::vector<std::size_t>& headerBlocks, std::string_view base,
                      std::string_view ours, std::string_view theirs, std::string& merged);
};
