#pragma once

#include <memory>
#include <string>

class CScratchRoot;
class CVelkFileLock;

// The data directory a desktop run works on. A run of the user's own takes the directory's
// velk-host lock; when another velk-host holds it, the user is offered (through the message
// box service) to open a copy read-only or to quit. Pictures and a read-only run work on a
// scratch copy, which goes with the object; so does the lock.
class CDesktopRoot {
public:
    enum class Access { Own, ReadOnly, Pictures, Refused, Failed };

    CDesktopRoot();
    ~CDesktopRoot();
    CDesktopRoot(const CDesktopRoot&) = delete;
    CDesktopRoot& operator=(const CDesktopRoot&) = delete;

    // userRoot: the user's data directory (absolute); its SYS folder must exist.
    Access Open(const std::string& userRoot, bool pictures);
    // Where the run works: the user's directory or the scratch copy.
    const std::string& Root() const { return m_strRoot; }
    // Why Open failed.
    const std::string& Error() const { return m_strError; }

    // The lock file that keeps a second velk-host off a system directory.
    static std::string LockPath(const std::string& sysDir);

private:
    std::unique_ptr<CVelkFileLock> m_pLock;
    std::unique_ptr<CScratchRoot> m_pScratch;
    std::string m_strRoot;
    std::string m_strError;
};
