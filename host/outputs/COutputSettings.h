#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class CAlertFanOut;
class CSecretStore;
class IAlertOutput;
class QSettings;

// The outputs and the history as the user configures them, in the program's QSettings:
//   history/enabled (true), history/retentionDays (0: keep all),
//   outputs/queueCapacity (1024), outputs/N/{kind,name,url,template,chatId,enabled}
// kind is generic, ntfy, telegram, dingtalk, wecom, feishu or nats. Secrets are not in the
// settings: the secret store keeps them under "output/<name>".
class COutputSettings {
public:
    struct Entry {
        bool enabled = true;
        std::string kind = "generic";
        std::string name;
        std::string url;
        std::string bodyTemplate;
        std::string chatId;
    };

    static std::vector<Entry> Load(QSettings& settings);
    static void Save(QSettings& settings, const std::vector<Entry>& entries);
    static bool HistoryEnabled(QSettings& settings);
    static int RetentionDays(QSettings& settings);
    static std::size_t QueueCapacity(QSettings& settings);
    static std::string SecretKey(const std::string& outputName) { return "output/" + outputName; }
    static void SetRetentionDays(QSettings& settings, int days);

    // The output an entry describes, with its secret; null with the reason in error when the
    // entry makes no sense (no URL, an unknown kind, a URL that needs a secret not given).
    static std::unique_ptr<IAlertOutput> MakeOutput(const Entry& entry, const std::string& secret,
                                                    std::string& error);

    // Adds every enabled output to the fan-out, with its secret; an entry that makes no sense
    // (no URL, an unknown kind, an unreadable secret) is left out, and problems gets
    // "output NAME: why" for it. Returns the outputs added.
    static int AddConfiguredOutputs(QSettings& settings, const CSecretStore& secrets,
                                    CAlertFanOut& fanOut, std::vector<std::string>& problems);
};
