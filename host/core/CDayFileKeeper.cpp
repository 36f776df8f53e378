#include "host/core/CDayFileKeeper.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/core/VelkFile.h"

namespace {

// Far more runs of one date than anyone keeps; the bound only ends the search.
constexpr int kMaxKept = 100000;

} // namespace

std::string CDayFileKeeper::DayFilePath(int tradeDate)
{
    char name[64];
    std::snprintf(name, sizeof name, "%04d%02d%02d.alt", tradeDate / 10000, tradeDate % 10000 / 100,
                  tradeDate % 100);
    return VelkJoinPath("../Dat/Alert", name);
}

CDayFileKeeper::Result CDayFileKeeper::KeepAside(const std::string& dayFile)
{
    Result result;
    // Only a day file is kept aside. Whatever else stands in its place (a folder, a device) is
    // left alone, for the window's save to refuse with a message naming it.
    struct stat info {};
    if (::lstat(dayFile.c_str(), &info) != 0 || !(S_ISREG(info.st_mode) || S_ISLNK(info.st_mode)))
        return result;
    for (int n = 1; n <= kMaxKept; ++n) {
        const std::string kept = dayFile + "." + std::to_string(n);
        // A hard link is made only where no file is: a kept file is never replaced, even by
        // another program that keeps one at the same moment.
        if (::link(dayFile.c_str(), kept.c_str()) == 0) {
            if (::unlink(dayFile.c_str()) != 0) {
                const int error = errno;
                ::unlink(kept.c_str());
                result.ok = false;
                result.error = dayFile + ": " + std::strerror(error);
                return result;
            }
            result.keptPath = kept;
            return result;
        }
        if (errno != EEXIST) {
            result.ok = false;
            result.error = dayFile + ": " + std::strerror(errno);
            return result;
        }
    }
    result.ok = false;
    result.error = dayFile + ": " + std::strerror(EEXIST);
    return result;
}
