#pragma once

#include <string>

// A private copy of a data directory, for a run that must leave the user's own untouched (the
// pictures of the windows, a window opened read-only beside another velk-host): the files of
// DIR/SYS and DIR/Dat are copied into a fresh folder under the system's temporary directory,
// which goes with the object. Only regular files are copied; links are copied as the files
// they point at, and pipes and devices are left out, so nothing in the copy leads back.
class CScratchRoot {
public:
    explicit CScratchRoot(const std::string& root);
    ~CScratchRoot();
    CScratchRoot(const CScratchRoot&) = delete;
    CScratchRoot& operator=(const CScratchRoot&) = delete;

    // The copy's root; empty when it could not be made (Error() says why).
    const std::string& Path() const { return m_strPath; }
    const std::string& Error() const { return m_strError; }

private:
    std::string m_strPath;
    std::string m_strError;
};
