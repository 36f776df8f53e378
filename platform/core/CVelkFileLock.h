#pragma once

#include <string>

// An advisory lock (flock) on a lock file, held for the object's life. Everyone who reads a
// file of a folder, changes it and writes it back holds the folder's lock meanwhile, so that
// two writers (two processes, or two copies of the module in one process: every lock object
// opens the file anew) never drop each other's changes.
class CVelkFileLock {
public:
    enum class Mode { Wait, Try };

    // Locks the given lock file, creating it when missing. With Try the lock is not waited
    // for. Where the lock file cannot be created (a read-only folder) nothing is held and
    // Held() is false; so is it when Try finds the lock taken (Busy() is then true).
    explicit CVelkFileLock(const std::string& lockPath, Mode mode = Mode::Wait);
    ~CVelkFileLock();
    CVelkFileLock(const CVelkFileLock&) = delete;
    CVelkFileLock& operator=(const CVelkFileLock&) = delete;

    bool Held() const { return m_bHeld; }
    bool Busy() const { return m_bBusy; }

    // The lock file of a folder: ".velk.lock" in it.
    static std::string ForFolder(const std::string& dir);
    // The folder's lock for the file at path.
    static std::string ForFileOf(const std::string& path);

private:
    int m_fd = -1;
    bool m_bHeld = false;
    bool m_bBusy = false;
};
