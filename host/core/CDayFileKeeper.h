#pragma once

#include <string>

// A replay starts from a clean alert list: the day file an earlier run of the same date left
// ("YYYYMMDD.alt") is moved aside unchanged to the first free "YYYYMMDD.alt.1", ".alt.2", ...
// beside it, so that the engine does not load it again and nothing stored is lost. A kept
// file is never overwritten.
class CDayFileKeeper {
public:
    struct Result {
        bool ok = true;       // false: the file is still in place; error says why
        std::string keptPath; // where it went; empty when there was none to keep
        std::string error;
    };

    // The day file of a yyyymmdd date, as the alert list window finds it from the working
    // directory.
    static std::string DayFilePath(int tradeDate);
    static Result KeepAside(const std::string& dayFile);
};
