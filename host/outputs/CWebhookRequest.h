#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "host/outputs/CAlertEvent.h"

// What a webhook output is told by the user: where to post, in which dialect.
struct CWebhookConfig {
    enum class Kind {
        Generic,  // JSON from a template of named fields
        Ntfy,     // an ntfy-style topic URL: the text as body, Title, Priority and Tags headers
        Telegram, // a bot's sendMessage
        DingTalk, // group robots' JSON text messages
        WeCom,
        Feishu,
    };
    std::string name;
    Kind kind = Kind::Generic;
    // May hold {{secret}}, replaced by the secret when the request is made.
    std::string url;
    // Generic only; empty: {{json}}, the alert as CAlertJson makes it.
    std::string bodyTemplate;
    // Telegram only: the chat the bot writes to.
    std::string chatId;
    // From the secret store; never shown, logged or kept in the settings.
    std::string secret;
    int timeoutMs = 5000;

    static const char* KindName(Kind kind);
    // False for a name that is no kind.
    static bool KindFromName(const std::string& name, Kind& kind);
    // The URL a preset starts from; empty for the generic kind and ntfy, whose URL is the
    // user's.
    static std::string DefaultUrl(Kind kind);
    // The messages a minute the kind's receiver takes from one sender (the group robots' and
    // Telegram's published limits); 0 where it sets none or answers 429 itself.
    static int MessagesPerMinute(Kind kind);
    // The same within any second (Feishu's 5); 0 where only the minute counts.
    static int MessagesPerSecond(Kind kind);
    // How many alerts one text message of the kind carries, within the receiver's length limit
    // (WeCom's 2,048 bytes the smallest); 1 where a message is one alert (generic, ntfy).
    static std::size_t MostFolded(Kind kind);
};

// One HTTP POST for one alert, or for several in one text message.
struct CWebhookRequest {
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The request of an attempt made now. DingTalk's and Feishu's robots may demand a signature
    // made with a key of their own: the secret is then that key when the URL does not take
    // {{secret}}, or "TOKEN KEY" (two words) when it does, the token filling the URL.
    static CWebhookRequest Build(const CWebhookConfig& config, const CAlertEvent& event);
    // The same at nowMs (milliseconds since 1970), the time the signature is made for.
    static CWebhookRequest Build(const CWebhookConfig& config, const CAlertEvent& event,
                                 long long nowMs);
    // One message for events (oldest first, none empty): their texts one after the other under
    // a line that counts them. A kind whose MostFolded is 1 sends the first alone.
    static CWebhookRequest Build(const CWebhookConfig& config,
                                 const std::vector<CAlertEvent>& events, long long nowMs);
    // Replaces {{field}} by the alert's field (date, time, market, code, name, reason,
    // reason_code, price, volume, sequence, source, summary, details, secret), escaped for a
    // JSON string when jsonEscape; {{json}} by the whole alert object. Unknown names stay.
    static std::string Fill(const std::string& text, const CAlertEvent& event,
                            const std::string& secret, bool jsonEscape);
    // Robots and bots answer 200 with an error of their own in the body; false with the reason
    // when the body says the message was not taken.
    static bool AnswerAccepted(CWebhookConfig::Kind kind, const std::string& body,
                               std::string& why);
    // A robot's own "too many messages" in its answer (DingTalk's errcode 130101 and WeCom's
    // 45009 with HTTP 200, Feishu's code 9499 with 400), as when another sender shares it:
    // worth another attempt, after a minute.
    static bool AnswerRateLimited(CWebhookConfig::Kind kind, const std::string& body);
    // The pause a rate-limited receiver (HTTP 429) asks for: the Retry-After header in seconds,
    // else Telegram's parameters.retry_after in the body; zero when neither says.
    static std::chrono::milliseconds RetryAfter(const std::string& header, const std::string& body);
    // The text with every occurrence of the secret, and of each word of a two-word one, masked.
    static std::string Redact(std::string text, const std::string& secret);
};
