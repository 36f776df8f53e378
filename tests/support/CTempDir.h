#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

// A fresh directory under the system's temporary directory, removed with everything in it
// (permissions a test took away are given back first).
class CTempDir {
public:
    CTempDir()
    {
        std::string templ = (std::filesystem::temp_directory_path() / "velk-test-XXXXXX").string();
        m_path = ::mkdtemp(templ.data()) ? templ : std::string();
    }
    ~CTempDir()
    {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};
