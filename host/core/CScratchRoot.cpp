#include "host/core/CScratchRoot.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool CopyTree(const fs::path& from, const fs::path& to, std::string& error)
{
    std::error_code ec;
    if (!fs::is_directory(from, ec))
        return true;
    fs::create_directories(to, ec);
    for (fs::recursive_directory_iterator
             it(from, fs::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end; it.increment(ec)) {
        const fs::path target = to / fs::relative(it->path(), from, ec);
        const fs::file_status status = fs::status(it->path(), ec);
        if (ec)
            ec.clear();
        else if (fs::is_directory(status))
            fs::create_directories(target, ec);
        else if (fs::is_regular_file(status))
            fs::copy_file(it->path(), target, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            error = it->path().string() + ": " + ec.message();
            return false;
        }
    }
    if (ec) {
        error = from.string() + ": " + ec.message();
        return false;
    }
    return true;
}

} // namespace

CScratchRoot::CScratchRoot(const std::string& root)
{
    std::error_code ec;
    std::string templ = (fs::temp_directory_path(ec) / "velk-host-scratch-XXXXXX").string();
    if (ec || !::mkdtemp(templ.data())) {
        m_strError = "cannot create a scratch folder under " + templ;
        return;
    }
    m_strPath = templ;
    for (const char* part : {"SYS", "Dat"}) {
        if (!CopyTree(fs::path(root) / part, fs::path(m_strPath) / part, m_strError)) {
            fs::remove_all(m_strPath, ec);
            m_strPath.clear();
            return;
        }
    }
}

CScratchRoot::~CScratchRoot()
{
    if (m_strPath.empty())
        return;
    std::error_code ec;
    fs::remove_all(m_strPath, ec);
}
