#include "engine/CMarketMonitorSettings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>

#include "platform/core/CVelkFileLock.h"
#include "platform/core/VelkFile.h"

namespace {

constexpr const char* kReasonNames[CMarketMonitorSettings::kReasonCount] = {
    "upper",        "lower",       "limit_up", "limit_down", "limit_up_opened", "limit_down_opened",
    "new_high",     "new_low",     "rise",     "fall",       "single_trade",    "volume_ratio",
    "large_amount", "large_volume"};

// A cooldown longer than a day is a day.
constexpr int kMaxCooldown = 86400;
constexpr double kMaxStep = 1000.0;

bool ParseInt(const std::string& text, long long low, long long high, long long& value)
{
    if (text.empty())
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= low &&
           value <= high;
}

bool ParseStep(const std::string& text, double& value)
{
    if (text.empty() || text[0] == '+' || text[0] == '-')
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(value) &&
           value >= 0 && value <= kMaxStep;
}

std::string StepText(double value)
{
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : std::string("0");
}

// "mute.MARKET.CODE" split into its market and code.
bool ParseMuteName(const std::string& name, unsigned char& market, std::string& code)
{
    const std::size_t dot = name.find('.', 5);
    if (dot == std::string::npos)
        return false;
    long long value = 0;
    if (!ParseInt(name.substr(5, dot - 5), 0, 255, value))
        return false;
    code = name.substr(dot + 1);
    if (code.empty() || code.size() > 11)
        return false;
    for (char c : code)
        if (c <= ' ' || c > '~' || c == '=')
            return false;
    market = static_cast<unsigned char>(value);
    return true;
}

bool IsDate(long long value)
{
    const long long month = value / 100 % 100;
    const long long day = value % 100;
    return value >= 19000101 && value <= 99991231 && month >= 1 && month <= 12 && day >= 1 &&
           day <= 31;
}

using SettingLines = std::map<std::string, std::string>;

// The NAME=VALUE lines of a text in ToText's form, by name.
SettingLines LinesOf(const std::string& text)
{
    SettingLines lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos)
            lines[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return lines;
}

std::optional<std::string> ValueOf(const SettingLines& lines, const std::string& name)
{
    auto it = lines.find(name);
    if (it == lines.end())
        return std::nullopt;
    return it->second;
}

// Three-way join by setting name (a mute is a name of its own); false when both sides changed
// one setting differently.
bool MergeLines(const SettingLines& base, const SettingLines& ours, const SettingLines& theirs,
                std::string& merged)
{
    std::map<std::string, bool> names;
    for (const SettingLines* side : {&base, &ours, &theirs})
        for (const auto& line : *side)
            names.emplace(line.first, true);
    merged.clear();
    for (const auto& entry : names) {
        const auto b = ValueOf(base, entry.first);
        const auto o = ValueOf(ours, entry.first);
        const auto t = ValueOf(theirs, entry.first);
        std::optional<std::string> chosen;
        if (o == b || o == t)
            chosen = t;
        else if (t == b)
            chosen = o;
        else
            return false;
        if (chosen)
            merged += entry.first + "=" + *chosen + "\n";
    }
    return true;
}

} // namespace

bool CMarketMonitorSettings::HasNoiseControl() const
{
    if (newHighStep > 0 || newLowStep > 0 || !mutes.empty())
        return true;
    return std::any_of(rules.begin(), rules.end(),
                       [](const ReasonRule& rule) { return rule.repeat != Repeat::Every; });
}

bool CMarketMonitorSettings::IsMuted(unsigned char market, const std::string& code, int date) const
{
    return std::any_of(mutes.begin(), mutes.end(), [&](const Mute& mute) {
        return mute.market == market && mute.date == date && mute.code == code;
    });
}

void CMarketMonitorSettings::MuteForDay(unsigned char market, const std::string& code, int date)
{
    std::erase_if(mutes, [&](const Mute& mute) {
        return mute.date != date || (mute.market == market && mute.code == code);
    });
    mutes.push_back(Mute{market, code, date});
}

void CMarketMonitorSettings::Unmute(unsigned char market, const std::string& code)
{
    std::erase_if(mutes,
                  [&](const Mute& mute) { return mute.market == market && mute.code == code; });
}

const char* CMarketMonitorSettings::ReasonName(int reason)
{
    return reason >= 0 && reason < kReasonCount ? kReasonNames[reason] : "";
}

int CMarketMonitorSettings::ReasonByName(const std::string& name)
{
    for (int reason = 0; reason < kReasonCount; ++reason)
        if (name == kReasonNames[reason])
            return reason;
    return -1;
}

bool CMarketMonitorSettings::Set(const std::string& name, const std::string& value,
                                 std::string& error)
{
    if (name == "enabled") {
        if (value != "0" && value != "1") {
            error = "enabled takes 0 or 1, not \"" + value + "\"";
            return false;
        }
        enabled = value == "1";
        return true;
    }
    if (name == "new_high_step" || name == "new_low_step") {
        double step = 0;
        if (!ParseStep(value, step)) {
            error = name + " takes a percent from 0 to 1000, not \"" + value + "\"";
            return false;
        }
        (name == "new_high_step" ? newHighStep : newLowStep) = step;
        return true;
    }
    if (name.rfind("mute.", 0) == 0) {
        unsigned char market = 0;
        std::string code;
        if (!ParseMuteName(name, market, code)) {
            error = "\"" + name + "\" is not mute.MARKET.CODE";
            return false;
        }
        long long date = 0;
        if (value.empty()) {
            Unmute(market, code);
            return true;
        }
        if (!ParseInt(value, 0, 99991231, date) || !IsDate(date)) {
            error = name + " takes a date yyyymmdd, not \"" + value + "\"";
            return false;
        }
        Unmute(market, code);
        mutes.push_back(Mute{market, code, static_cast<int>(date)});
        return true;
    }
    const int reason = ReasonByName(name);
    if (reason < 0) {
        error = "no setting \"" + name + "\"";
        return false;
    }
    ReasonRule rule;
    if (value == "every") {
        rule.repeat = Repeat::Every;
    } else if (value == "once") {
        rule.repeat = Repeat::OncePerDay;
    } else {
        long long seconds = 0;
        if (value.size() < 2 || value.back() != 's' ||
            !ParseInt(value.substr(0, value.size() - 1), 1, kMaxCooldown, seconds)) {
            error =
                name + " takes every, once or a cooldown of 1s to 86400s, not \"" + value + "\"";
            return false;
        }
        rule.repeat = Repeat::Cooldown;
        rule.cooldownSeconds = static_cast<int>(seconds);
    }
    rules[static_cast<std::size_t>(reason)] = rule;
    return true;
}

std::string CMarketMonitorSettings::ToText() const
{
    std::string text = "enabled=";
    text += enabled ? "1\n" : "0\n";
    for (int reason = 0; reason < kReasonCount; ++reason) {
        const ReasonRule& rule = rules[static_cast<std::size_t>(reason)];
        text += kReasonNames[reason];
        text += '=';
        if (rule.repeat == Repeat::OncePerDay)
            text += "once";
        else if (rule.repeat == Repeat::Cooldown)
            text += std::to_string(rule.cooldownSeconds) + "s";
        else
            text += "every";
        text += '\n';
    }
    text += "new_high_step=" + StepText(newHighStep) + "\n";
    text += "new_low_step=" + StepText(newLowStep) + "\n";
    for (const Mute& mute : mutes)
        text += "mute." + std::to_string(mute.market) + "." + mute.code + "=" +
                std::to_string(mute.date) + "\n";
    return text;
}

bool CMarketMonitorSettings::Parse(const std::string& text, std::string& error)
{
    *this = CMarketMonitorSettings();
    error.clear();
    std::size_t start = 0;
    int lineNumber = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t equals = line.find('=');
        std::string why;
        if (equals == std::string::npos)
            why = "no NAME=VALUE";
        else
            Set(line.substr(0, equals), line.substr(equals + 1), why);
        if (!why.empty() && error.empty())
            error = std::string(kFileName) + ":" + std::to_string(lineNumber) + ": " + why;
    }
    return error.empty();
}

bool CMarketMonitorSettings::Load(const std::string& sysDir, std::string& error)
{
    error.clear();
    const std::string path = VelkJoinPath(sysDir, kFileName);
    std::string bytes;
    bool read = true;
    if (!VelkReadFile(path, bytes)) {
        *this = CMarketMonitorSettings();
        if (VelkFileExists(path)) {
            error = path + ": cannot be read";
            return false;
        }
    } else {
        read = Parse(bytes, error);
    }
    m_strBase = ToText();
    m_strBasePath = path;
    return read;
}

bool CMarketMonitorSettings::Save(const std::string& sysDir)
{
    m_bConflict = false;
    const std::string path = VelkJoinPath(sysDir, kFileName);
    CVelkFileLock lock(CVelkFileLock::ForFolder(sysDir));
    std::string text = ToText();
    std::string current;
    if (m_strBasePath == path && VelkReadFile(path, current)) {
        CMarketMonitorSettings theirs;
        std::string error;
        // Writing over lines that cannot be read would lose them.
        if (!theirs.Parse(current, error))
            return VelkFileFailure(path + ": " + error + "; nothing written");
        const std::string theirsText = theirs.ToText();
        if (theirsText != m_strBase) {
            std::string merged;
            if (!MergeLines(LinesOf(m_strBase), LinesOf(text), LinesOf(theirsText), merged)) {
                m_bConflict = true;
                return VelkFileFailure(path + ": changed by another program since it was read, "
                                              "in the same settings");
            }
            CMarketMonitorSettings joined;
            joined.Parse(merged, error);
            joined.m_strBasePath = path;
            *this = std::move(joined);
            text = ToText();
        }
    }
    if (!VelkReplaceFile(path, text))
        return false;
    m_strBase = text;
    m_strBasePath = path;
    return true;
}
