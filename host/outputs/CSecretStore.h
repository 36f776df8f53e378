#pragma once

#include <string>

// The outputs' secrets (tokens, keys in robot URLs): in the Secret Service through libsecret
// when a keyring answers on the session bus, else in a file only its owner may read (0600).
// Secrets are never printed or logged; errors name the key, never the secret.
class CSecretStore {
public:
    // fallbackFile: where secrets go without a keyring.
    explicit CSecretStore(std::string fallbackFile) : m_strFile(std::move(fallbackFile)) {}

    // $XDG_CONFIG_HOME/velk-host/secrets, else ~/.config/velk-host/secrets.
    static std::string DefaultFile();

    // Whether the keyring is tried at all (tests keep to the file).
    void SetUseKeyring(bool use) { m_bUseKeyring = use; }

    bool Store(const std::string& key, const std::string& secret, std::string& error);
    // False with error empty when there is no such secret, with error set when it cannot be read.
    bool Lookup(const std::string& key, std::string& secret, std::string& error) const;
    bool Remove(const std::string& key, std::string& error);

private:
    bool KeyringStore(const std::string& key, const std::string& secret) const;
    bool KeyringLookup(const std::string& key, std::string& secret, bool& found) const;
    bool KeyringRemove(const std::string& key) const;
    bool KeyringAvailable() const;

    bool FileRead(std::string& content, std::string& error) const;
    bool FileWrite(const std::string& content, std::string& error) const;

    std::string m_strFile;
    bool m_bUseKeyring = true;
};
