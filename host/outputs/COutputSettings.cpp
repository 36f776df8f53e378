#include "host/outputs/COutputSettings.h"

#include <QSettings>

#include "host/outputs/CAlertFanOut.h"
#include "host/outputs/CNatsOutput.h"
#include "host/outputs/CSecretStore.h"
#include "host/outputs/CWebhookOutput.h"

std::vector<COutputSettings::Entry> COutputSettings::Load(QSettings& settings)
{
    std::vector<Entry> entries;
    const int count = settings.beginReadArray(QStringLiteral("outputs"));
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        Entry entry;
        entry.enabled = settings.value(QStringLiteral("enabled"), true).toBool();
        entry.kind = settings.value(QStringLiteral("kind"), QStringLiteral("generic"))
                         .toString()
                         .toStdString();
        entry.name = settings.value(QStringLiteral("name")).toString().toStdString();
        entry.url = settings.value(QStringLiteral("url")).toString().toStdString();
        entry.bodyTemplate = settings.value(QStringLiteral("template")).toString().toStdString();
        entry.chatId = settings.value(QStringLiteral("chatId")).toString().toStdString();
        entries.push_back(std::move(entry));
    }
    settings.endArray();
    return entries;
}

void COutputSettings::Save(QSettings& settings, const std::vector<Entry>& entries)
{
    settings.remove(QStringLiteral("outputs"));
    settings.beginWriteArray(QStringLiteral("outputs"), static_cast<int>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        settings.setArrayIndex(static_cast<int>(i));
        const Entry& entry = entries[i];
        settings.setValue(QStringLiteral("enabled"), entry.enabled);
        settings.setValue(QStringLiteral("kind"), QString::fromStdString(entry.kind));
        settings.setValue(QStringLiteral("name"), QString::fromStdString(entry.name));
        settings.setValue(QStringLiteral("url"), QString::fromStdString(entry.url));
        settings.setValue(QStringLiteral("template"), QString::fromStdString(entry.bodyTemplate));
        settings.setValue(QStringLiteral("chatId"), QString::fromStdString(entry.chatId));
    }
    settings.endArray();
}

bool COutputSettings::HistoryEnabled(QSettings& settings)
{
    return settings.value(QStringLiteral("history/enabled"), true).toBool();
}

int COutputSettings::RetentionDays(QSettings& settings)
{
    return std::max(0, settings.value(QStringLiteral("history/retentionDays"), 0).toInt());
}

void COutputSettings::SetRetentionDays(QSettings& settings, int days)
{
    settings.setValue(QStringLiteral("history/retentionDays"), std::max(0, days));
}

std::size_t COutputSettings::QueueCapacity(QSettings& settings)
{
    const int capacity = settings.value(QStringLiteral("outputs/queueCapacity"), 1024).toInt();
    return static_cast<std::size_t>(std::clamp(capacity, 1, 1 << 20));
}

std::unique_ptr<IAlertOutput>
COutputSettings::MakeOutput(const Entry& entry, const std::string& secret, std::string& error)
{
    const std::string name = entry.name.empty() ? entry.kind : entry.name;
    if (entry.kind == "nats") {
        CNatsOutput::Config config;
        config.name = name;
        if (!entry.url.empty())
            config.url = entry.url;
        return std::make_unique<CNatsOutput>(config);
    }
    CWebhookConfig config;
    config.name = name;
    if (!CWebhookConfig::KindFromName(entry.kind, config.kind)) {
        error = "unknown kind " + entry.kind;
        return nullptr;
    }
    config.url = entry.url.empty() ? CWebhookConfig::DefaultUrl(config.kind) : entry.url;
    config.bodyTemplate = entry.bodyTemplate;
    config.chatId = entry.chatId;
    config.secret = secret;
    if (config.url.empty()) {
        error = "no URL";
        return nullptr;
    }
    if (config.url.find("{{secret}}") != std::string::npos && config.secret.empty()) {
        error = "its secret is not set";
        return nullptr;
    }
    return std::make_unique<CWebhookOutput>(config);
}

int COutputSettings::AddConfiguredOutputs(QSettings& settings, const CSecretStore& secrets,
                                          CAlertFanOut& fanOut, std::vector<std::string>& problems)
{
    COutputWorker::Options options;
    options.capacity = QueueCapacity(settings);
    int added = 0;
    for (const Entry& entry : Load(settings)) {
        if (!entry.enabled)
            continue;
        const std::string name = entry.name.empty() ? entry.kind : entry.name;
        std::string secret;
        std::string error;
        if (entry.kind != "nats" && !secrets.Lookup(SecretKey(name), secret, error) &&
            !error.empty()) {
            problems.push_back("output " + name + ": " + error);
            continue;
        }
        std::unique_ptr<IAlertOutput> output = MakeOutput(entry, secret, error);
        if (!output) {
            problems.push_back("output " + name + ": " + error);
            continue;
        }
        fanOut.AddOutput(std::move(output), options);
        ++added;
    }
    return added;
}
