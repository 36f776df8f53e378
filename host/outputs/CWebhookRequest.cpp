#include "host/outputs/CWebhookRequest.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <vector>

#include "engine/VelkPriceText.h"
#include "host/outputs/CAlertJson.h"

namespace {

struct KindEntry {
    CWebhookConfig::Kind kind;
    const char* name;
    const char* url;
    int perMinute;
    int perSecond;
    std::size_t mostFolded;
    // The field and code of the receiver's own "too many messages"; none: null.
    const char* limitedKey;
    long long limitedCode;
};

// The robots take 20 messages a minute (Feishu's 100, and 5 a second) and shut a sender out for
// minutes past that; Telegram takes 20 a minute into a group. A text of 20 alerts stays within
// DingTalk's, Feishu's and Telegram's lengths, one of 8 within WeCom's 2,048 bytes. The robots'
// rate-limit answers: DingTalk's "send too fast, exceed 20 times per minute", WeCom's "api freq
// out of limit", both with HTTP 200, and Feishu's "too many request", with HTTP 400.
constexpr KindEntry kKinds[] = {
    {CWebhookConfig::Kind::Generic, "generic", "", 0, 0, 1, nullptr, 0},
    // A topic is the user's own: without one, alerts would go to a public topic anyone reads.
    {CWebhookConfig::Kind::Ntfy, "ntfy", "", 0, 0, 1, nullptr, 0},
    {CWebhookConfig::Kind::Telegram, "telegram",
     "https://api.telegram.org/bot{{secret}}/sendMessage", 20, 0, 20, nullptr, 0},
    {CWebhookConfig::Kind::DingTalk, "dingtalk",
     "https://oapi.dingtalk.com/robot/send?access_token={{secret}}", 20, 0, 20, "errcode", 130101},
    {CWebhookConfig::Kind::WeCom, "wecom",
     "https://qyapi.weixin.qq.com/cgi-bin/webhook/send?key={{secret}}", 20, 0, 8, "errcode", 45009},
    {CWebhookConfig::Kind::Feishu, "feishu",
     "https://open.feishu.cn/open-apis/bot/v2/hook/{{secret}}", 100, 5, 20, "code", 9499},
};

const KindEntry* EntryOf(CWebhookConfig::Kind kind)
{
    for (const KindEntry& entry : kKinds)
        if (entry.kind == kind)
            return &entry;
    return nullptr;
}

std::string JsonEscaped(const std::string& text)
{
    const std::string quoted =
        nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return quoted.substr(1, quoted.size() - 2);
}

std::string Base64(const std::string& bytes)
{
    static const char* const kDigits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned n = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[n >> 18 & 63];
        out += kDigits[n >> 12 & 63];
        out += kDigits[n >> 6 & 63];
        out += kDigits[n & 63];
    }
    if (i < bytes.size()) {
        unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kDigits[n >> 18 & 63];
        out += kDigits[n >> 12 & 63];
        out += i + 1 < bytes.size() ? kDigits[n >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

// A header value in ASCII: a UTF-8 text as an RFC 2047 encoded word, which ntfy reads.
std::string HeaderText(const std::string& utf8)
{
    for (char c : utf8)
        if (static_cast<unsigned char>(c) >= 0x80 || c == '\r' || c == '\n')
            return "=?UTF-8?B?" + Base64(utf8) + "?=";
    return utf8;
}

// The words of a secret, which for a DingTalk or Feishu robot may be "TOKEN KEY".
std::vector<std::string> Words(const std::string& text)
{
    const char* const kSpace = " \t\r\n";
    std::vector<std::string> words;
    for (std::size_t at = text.find_first_not_of(kSpace); at != std::string::npos;) {
        const std::size_t end = text.find_first_of(kSpace, at);
        words.push_back(text.substr(at, end == std::string::npos ? end : end - at));
        at = end == std::string::npos ? end : text.find_first_not_of(kSpace, end);
    }
    return words;
}

std::string Message(const CAlertEvent& event)
{
    return CAlertJson::Summary(event) + '\n' + CAlertJson::Details(event);
}

} // namespace

const char* CWebhookConfig::KindName(Kind kind)
{
    const KindEntry* entry = EntryOf(kind);
    return entry ? entry->name : "generic";
}

bool CWebhookConfig::KindFromName(const std::string& name, Kind& kind)
{
    for (const KindEntry& entry : kKinds)
        if (name == entry.name) {
            kind = entry.kind;
            return true;
        }
    return false;
}

std::string CWebhookConfig::DefaultUrl(Kind kind)
{
    const KindEntry* entry = EntryOf(kind);
    return entry ? entry->url : std::string();
}

int CWebhookConfig::MessagesPerMinute(Kind kind)
{
    const KindEntry* entry = EntryOf(kind);
    return entry ? entry->perMinute : 0;
}

int CWebhookConfig::MessagesPerSecond(Kind kind)
{
    const KindEntry* entry = EntryOf(kind);
    return entry ? entry->perSecond : 0;
}

std::size_t CWebhookConfig::MostFolded(Kind kind)
{
    const KindEntry* entry = EntryOf(kind);
    return entry ? entry->mostFolded : 1;
}

std::string CWebhookRequest::Fill(const std::string& text, const CAlertEvent& event,
                                  const std::string& secret, bool jsonEscape)
{
    auto value = [&](const std::string& field, std::string& out) {
        char number[64];
        if (field == "date")
            out = event.DateText();
        else if (field == "time")
            out = event.TimeText();
        else if (field == "market")
            out = std::to_string(event.record.m_byMarket);
        else if (field == "code")
            out = event.CodeUtf8();
        else if (field == "name")
            out = event.NameUtf8();
        else if (field == "reason")
            out = event.ReasonUtf8();
        else if (field == "reason_code")
            out = std::to_string(event.reasonCode);
        else if (field == "price")
            out = VelkPriceText(event.record.m_fPrice);
        else if (field == "volume") {
            std::snprintf(number, sizeof number, "%.0f",
                          static_cast<double>(event.record.m_fVolume));
            out = number;
        } else if (field == "sequence")
            out = std::to_string(event.sequence);
        else if (field == "source")
            out = event.live ? "live" : "replay";
        else if (field == "summary")
            out = CAlertJson::Summary(event);
        else if (field == "details")
            out = CAlertJson::Details(event);
        else if (field == "secret")
            out = secret;
        else if (field == "json") {
            out = CAlertJson::Object(event);
            return true; // raw, never escaped
        } else
            return false;
        if (jsonEscape)
            out = JsonEscaped(out);
        return true;
    };
    std::string filled;
    std::size_t at = 0;
    for (;;) {
        const std::size_t open = text.find("{{", at);
        const std::size_t close = open == std::string::npos ? open : text.find("}}", open + 2);
        if (close == std::string::npos) {
            filled.append(text, at, std::string::npos);
            return filled;
        }
        filled.append(text, at, open - at);
        std::string replacement;
        if (value(text.substr(open + 2, close - open - 2), replacement))
            filled += replacement;
        else
            filled.append(text, open, close + 2 - open);
        at = close + 2;
    }
}

CWebhookRequest CWebhookRequest::Build(const CWebhookConfig& config, const CAlertEvent& event)
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return Build(config, event, std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

CWebhookRequest CWebhookRequest::Build(const CWebhookConfig& config, const CAlertEvent& event,
                                       long long nowMs)
{
    return Build(config, std::vector<CAlertEvent>{event}, nowMs);
}

CWebhookRequest CWebhookRequest::Build(const CWebhookConfig& config,
                                       const std::vector<CAlertEvent>& events, long long nowMs)
{
    using Kind = CWebhookConfig::Kind;
    const CAlertEvent& event = events.front();
    CWebhookRequest request;
    std::string urlSecret = config.secret;
    std::string signKey;
    if (config.kind == Kind::DingTalk || config.kind == Kind::Feishu) {
        const std::vector<std::string> words = Words(config.secret);
        if (words.size() > 1) {
            urlSecret = words[0];
            signKey = words[1];
        } else if (config.url.find("{{secret}}") == std::string::npos) {
            signKey = config.secret;
            urlSecret.clear();
        }
    }
    request.url = Fill(config.url, event, urlSecret, false);
    // DingTalk signs "ms\nkey" with the key and takes it in the URL; Feishu signs nothing with
    // "s\nkey" as the key and takes it in the body.
    std::string feishuTimestamp;
    std::string feishuSign;
    if (!signKey.empty() && config.kind == Kind::DingTalk) {
        const QByteArray key = QByteArray::fromStdString(signKey);
        const QByteArray text = QByteArray::number(nowMs) + '\n' + key;
        const QByteArray sign =
            QMessageAuthenticationCode::hash(text, key, QCryptographicHash::Sha256).toBase64();
        request.url += request.url.find('?') == std::string::npos ? '?' : '&';
        request.url += "timestamp=" + std::to_string(nowMs) +
                       "&sign=" + QUrl::toPercentEncoding(QString::fromLatin1(sign)).toStdString();
    } else if (!signKey.empty() && config.kind == Kind::Feishu) {
        feishuTimestamp = std::to_string(nowMs / 1000);
        const QByteArray key = QByteArray::fromStdString(feishuTimestamp + '\n' + signKey);
        feishuSign = QMessageAuthenticationCode::hash(QByteArray(), key, QCryptographicHash::Sha256)
                         .toBase64()
                         .toStdString();
    }
    std::string message;
    const std::size_t folded = std::min(events.size(), CWebhookConfig::MostFolded(config.kind));
    if (folded > 1)
        message = std::to_string(folded) + " 条预警";
    for (std::size_t i = 0; i < folded; ++i)
        message += (message.empty() ? "" : "\n\n") + Message(events[i]);
    nlohmann::ordered_json body;
    switch (config.kind) {
    case Kind::Generic:
        request.headers.emplace_back("Content-Type", "application/json; charset=utf-8");
        request.body = Fill(config.bodyTemplate.empty() ? "{{json}}" : config.bodyTemplate, event,
                            config.secret, true);
        return request;
    case Kind::Ntfy:
        request.headers.emplace_back("Content-Type", "text/plain; charset=utf-8");
        request.headers.emplace_back("Title", HeaderText(CAlertJson::Summary(event)));
        request.headers.emplace_back("Priority",
                                     CAlertEvent::IsLimitReason(event.reasonCode) ? "5" : "3");
        request.headers.emplace_back(
            "Tags", CAlertEvent::IsRisingReason(event.reasonCode)    ? "chart_with_upwards_trend"
                    : CAlertEvent::IsFallingReason(event.reasonCode) ? "chart_with_downwards_trend"
                                                                     : "bell");
        request.body = CAlertJson::Details(event);
        return request;
    case Kind::Telegram:
        body["chat_id"] = config.chatId;
        body["text"] = message;
        break;
    case Kind::DingTalk:
    case Kind::WeCom:
        body["msgtype"] = "text";
        body["text"]["content"] = message;
        break;
    case Kind::Feishu:
        if (!feishuSign.empty()) {
            body["timestamp"] = feishuTimestamp;
            body["sign"] = feishuSign;
        }
        body["msg_type"] = "text";
        body["content"]["text"] = message;
        break;
    }
    request.headers.emplace_back("Content-Type", "application/json; charset=utf-8");
    request.body = body.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    return request;
}

bool CWebhookRequest::AnswerAccepted(CWebhookConfig::Kind kind, const std::string& body,
                                     std::string& why)
{
    using Kind = CWebhookConfig::Kind;
    if (kind == Kind::Generic || kind == Kind::Ntfy)
        return true;
    const nlohmann::json answer = nlohmann::json::parse(body, nullptr, false);
    // An answer that is no JSON object says nothing against the 2xx status.
    if (!answer.is_object())
        return true;
    auto refused = [&](const char* key, const char* messageKey) {
        const auto code = answer.find(key);
        if (code == answer.end() || !code->is_number_integer() || code->get<long long>() == 0)
            return false;
        why = std::string(key) + " " + std::to_string(code->get<long long>());
        const auto message = answer.find(messageKey);
        if (message != answer.end() && message->is_string())
            why += ": " + message->get<std::string>();
        return true;
    };
    switch (kind) {
    case Kind::Telegram:
        if (answer.value("ok", true))
            return true;
        why = answer.value("description", std::string("not ok"));
        return false;
    case Kind::DingTalk:
    case Kind::WeCom:
        return !refused("errcode", "errmsg");
    case Kind::Feishu:
        return !refused("code", "msg") && !refused("StatusCode", "StatusMessage");
    default:
        return true;
    }
}

bool CWebhookRequest::AnswerRateLimited(CWebhookConfig::Kind kind, const std::string& body)
{
    const KindEntry* entry = EntryOf(kind);
    if (!entry || !entry->limitedKey)
        return false;
    const nlohmann::json answer = nlohmann::json::parse(body, nullptr, false);
    if (!answer.is_object())
        return false;
    const auto code = answer.find(entry->limitedKey);
    return code != answer.end() && code->is_number_integer() &&
           code->get<long long>() == entry->limitedCode;
}

std::chrono::milliseconds CWebhookRequest::RetryAfter(const std::string& header,
                                                      const std::string& body)
{
    // A day at most: the number only has to be long enough for the worker's own limit.
    constexpr long long kLongest = 86400;
    long long seconds = -1;
    if (!header.empty() && header.size() <= 9 &&
        header.find_first_not_of("0123456789") == std::string::npos) {
        seconds = std::stoll(header);
    } else {
        // The date form of Retry-After is not taken: a receiver's clock is not ours.
        const nlohmann::json answer = nlohmann::json::parse(body, nullptr, false);
        if (answer.is_object()) {
            const auto parameters = answer.find("parameters");
            if (parameters != answer.end() && parameters->is_object()) {
                const auto after = parameters->find("retry_after");
                if (after != parameters->end() && after->is_number_integer())
                    seconds = after->get<long long>();
            }
        }
    }
    if (seconds <= 0)
        return std::chrono::milliseconds(0);
    return std::chrono::seconds(std::min(seconds, kLongest));
}

std::string CWebhookRequest::Redact(std::string text, const std::string& secret)
{
    auto mask = [&text](const std::string& part) {
        if (part.empty())
            return;
        for (std::size_t at = text.find(part); at != std::string::npos;
             at = text.find(part, at + 3))
            text.replace(at, part.size(), "***");
    };
    mask(secret);
    const std::vector<std::string> words = Words(secret);
    if (words.size() > 1)
        for (const std::string& word : words)
            mask(word);
    return text;
}
