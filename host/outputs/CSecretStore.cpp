#include "host/outputs/CSecretStore.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <libsecret/secret.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/core/VelkFile.h"

namespace {

// The file's lines but those of one key (its prefix), each ended by a newline.
std::string LinesWithout(const std::string& content, const std::string& prefix)
{
    std::istringstream in(content);
    std::string out;
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line.rfind(prefix, 0) != 0)
            out += line + '\n';
    return out;
}

} // namespace

namespace {

const SecretSchema* Schema()
{
    static const SecretSchema schema = {
        "org.velk.host.Output",
        SECRET_SCHEMA_NONE,
        {{"output", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr};
    return &schema;
}

std::string Hex(const std::string& bytes)
{
    static const char* const kDigits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

bool Unhex(const std::string& hex, std::string& bytes)
{
    if (hex.size() % 2)
        return false;
    bytes.clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const std::string pair = hex.substr(i, 2);
        if (pair.find_first_not_of("0123456789abcdef") != std::string::npos)
            return false;
        bytes += static_cast<char>(std::stoi(pair, nullptr, 16));
    }
    return true;
}

} // namespace

std::string CSecretStore::DefaultFile()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return std::string(config) + "/velk-host/secrets";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.config/velk-host/secrets";
    return {};
}

bool CSecretStore::KeyringAvailable() const
{
    // Without a session bus libsecret would try to start one; there is no keyring then.
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    return m_bUseKeyring && bus && *bus;
}

bool CSecretStore::KeyringStore(const std::string& key, const std::string& secret) const
{
    GError* error = nullptr;
    const std::string label = "velk-host output " + key;
    const gboolean stored =
        secret_password_store_sync(Schema(), SECRET_COLLECTION_DEFAULT, label.c_str(),
                                   secret.c_str(), nullptr, &error, "output", key.c_str(), nullptr);
    if (error)
        g_error_free(error);
    return stored;
}

bool CSecretStore::KeyringLookup(const std::string& key, std::string& secret, bool& found) const
{
    GError* error = nullptr;
    gchar* password =
        secret_password_lookup_sync(Schema(), nullptr, &error, "output", key.c_str(), nullptr);
    if (error) {
        g_error_free(error);
        return false;
    }
    found = password != nullptr;
    if (password) {
        secret = password;
        secret_password_free(password);
    }
    return true;
}

bool CSecretStore::KeyringRemove(const std::string& key) const
{
    GError* error = nullptr;
    secret_password_clear_sync(Schema(), nullptr, &error, "output", key.c_str(), nullptr);
    if (error) {
        g_error_free(error);
        return false;
    }
    return true;
}

bool CSecretStore::FileRead(std::string& content, std::string& error) const
{
    content.clear();
    if (!VelkFileExists(m_strFile))
        return true;
    struct stat info {};
    if (::stat(m_strFile.c_str(), &info) == 0 && (info.st_mode & 077) != 0) {
        // Someone else could have read it; it is still ours to use, but no longer theirs.
        ::chmod(m_strFile.c_str(), 0600);
    }
    if (!VelkReadFile(m_strFile, content)) {
        error = "cannot read " + m_strFile;
        return false;
    }
    return true;
}

bool CSecretStore::FileWrite(const std::string& content, std::string& error) const
{
    if (m_strFile.empty()) {
        error = "no place for secrets (set HOME or XDG_CONFIG_HOME)";
        return false;
    }
    const std::size_t slash = m_strFile.rfind('/');
    if (slash != std::string::npos && slash > 0)
        VelkCreateDirectories(m_strFile.substr(0, slash));
    // Written beside and renamed over, created 0600 from the start: never readable by others,
    // never half written.
    const std::string temporary = m_strFile + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "cannot write " + m_strFile + ": " + std::strerror(errno);
        return false;
    }
    ::fchmod(fd, 0600);
    const bool written =
        ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size()) &&
        ::fsync(fd) == 0;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), m_strFile.c_str()) != 0) {
        ::unlink(temporary.c_str());
        error = "cannot write " + m_strFile;
        return false;
    }
    return true;
}

bool CSecretStore::Store(const std::string& key, const std::string& secret, std::string& error)
{
    if (KeyringAvailable() && KeyringStore(key, secret)) {
        // A copy left in the file from before the keyring would outlive a change.
        std::string ignored;
        std::string content;
        if (FileRead(content, ignored) && content.find(Hex(key) + ' ') != std::string::npos) {
            const bool keyring = m_bUseKeyring;
            m_bUseKeyring = false;
            Remove(key, ignored);
            m_bUseKeyring = keyring;
        }
        return true;
    }
    std::string content;
    if (!FileRead(content, error))
        return false;
    const std::string prefix = Hex(key) + ' ';
    return FileWrite(LinesWithout(content, prefix) + prefix + Hex(secret) + '\n', error);
}

bool CSecretStore::Lookup(const std::string& key, std::string& secret, std::string& error) const
{
    error.clear();
    bool found = false;
    if (KeyringAvailable() && KeyringLookup(key, secret, found) && found)
        return true;
    std::string content;
    if (!FileRead(content, error))
        return false;
    std::istringstream in(content);
    std::string line;
    const std::string prefix = Hex(key) + ' ';
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0) {
            if (Unhex(line.substr(prefix.size()), secret))
                return true;
            error = m_strFile + ": the secret of " + key + " is damaged";
            return false;
        }
    return false;
}

bool CSecretStore::Remove(const std::string& key, std::string& error)
{
    if (KeyringAvailable())
        KeyringRemove(key);
    std::string content;
    if (!FileRead(content, error))
        return false;
    if (content.empty())
        return true;
    const std::string out = LinesWithout(content, Hex(key) + ' ');
    return out == content || FileWrite(out, error);
}
