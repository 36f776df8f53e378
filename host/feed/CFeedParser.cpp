#include "host/feed/CFeedParser.h"

#include <cmath>
#include <cstring>
#include <simdjson.h>
#include <vector>

#include "host/feed/CFeedFieldRules.h"

namespace dom = simdjson::dom;

static_assert(CFeedParser::kPadding >= simdjson::SIMDJSON_PADDING);

namespace {

using Problem = CFeedParser::Problem;

// Why a line was refused, and as what.
struct Refusal {
    Problem problem = Problem::None;
    const char* why = nullptr;
    std::string_view field;
};

} // namespace

struct CFeedParser::Impl {
    dom::parser parser;
    std::vector<char> copy;
    Refusal refusal;

    bool Fail(Problem problem, const char* why, std::string_view field = {})
    {
        if (refusal.problem == Problem::None)
            refusal = {problem, why, field};
        return false;
    }

    bool Double(dom::element& value, std::string_view field, double& out)
    {
        if (!value.is_number())
            return Fail(Problem::BadField, "is not a number", field);
        // A number beyond a double, or a big integer, is no usable value either.
        if (value.get_double().get(out) || !std::isfinite(out))
            return Fail(Problem::BadField, "is not a finite number", field);
        return true;
    }

    bool PriceField(dom::element& value, std::string_view field, double& out,
                    int* decimals = nullptr)
    {
        if (!value.is_number())
            return Fail(Problem::BadPrice, "is not a number", field);
        if (value.get_double().get(out) || !std::isfinite(out))
            return Fail(Problem::BadPrice, "is not finite", field);
        const int places = CFeedFieldRules::DecimalsOf(out);
        if (decimals)
            *decimals = places;
        if (const char* why = CFeedFieldRules::Price(out, places))
            return Fail(Problem::BadPrice, why, field);
        return true;
    }

    bool Integer(dom::element& value, std::string_view field, long long low, long long high,
                 long long& out)
    {
        std::int64_t v = 0;
        if (value.get_int64().get(v) || v < low || v > high)
            return Fail(Problem::BadField, "is not a whole number in range", field);
        out = v;
        return true;
    }

    bool Market(dom::element& value, std::string_view field, unsigned char& out)
    {
        long long v = 0;
        if (!Integer(value, field, 0, 255, v))
            return false;
        out = static_cast<unsigned char>(v);
        return true;
    }

    bool Code(dom::element& value, std::string& out)
    {
        std::string_view text;
        if (value.get_string().get(text))
            return Fail(Problem::BadField, "is not a string", "code");
        if (const char* why = CFeedFieldRules::Code(text))
            return Fail(Problem::BadField, why, "code");
        out.assign(text);
        return true;
    }

    bool Text(dom::element& value, std::string_view field, std::size_t maxBytes, bool mayBeEmpty,
              std::string& gbk)
    {
        std::string_view text;
        if (value.get_string().get(text))
            return Fail(Problem::BadField, "is not a string", field);
        if (text.empty() && !mayBeEmpty)
            return Fail(Problem::BadField, "is empty", field);
        if (const char* why = CFeedFieldRules::Text(text, maxBytes, gbk))
            return Fail(Problem::BadField, why, field);
        return true;
    }

    bool Time(dom::element& value, CFeedMessage& message)
    {
        std::string_view text;
        if (value.get_string().get(text) ||
            !CFeedParser::ParseTime(text, message.time, message.timeMillis))
            return Fail(Problem::BadField, "is not HH:MM:SS or HH:MM:SS.mmm", "time");
        return true;
    }

    bool Volume(dom::element& value, std::string_view field, double& out)
    {
        if (!Double(value, field, out))
            return false;
        if (out < 0 || out > 1e15 || std::floor(out) != out)
            return Fail(Problem::BadField, "is not a whole number of shares", field);
        return true;
    }

    bool Markets(dom::element& value, CFeedMessage& message)
    {
        dom::array array;
        if (value.get_array().get(array))
            return Fail(Problem::BadField, "is not a list", "markets");
        for (dom::element item : array) {
            dom::object object;
            if (item.get_object().get(object))
                return Fail(Problem::BadField, "holds an entry that is not an object", "markets");
            CFeedMessage::Market market;
            bool numbered = false;
            bool level1 = false;
            for (dom::key_value_pair field : object) {
                const std::string_view key = field.key;
                dom::element v = field.value;
                if (key == "market") {
                    if (!Market(v, "market", market.market))
                        return false;
                    numbered = true;
                } else if (key == "ext") {
                    if (!Text(v, "ext", 15, false, market.extGbk))
                        return false;
                } else if (key == "level1") {
                    if (!Market(v, "level1", market.level1))
                        return false;
                    level1 = true;
                }
            }
            if (!numbered || market.extGbk.empty())
                return Fail(Problem::BadField, "needs a market number and ext", "markets");
            if (!level1)
                market.level1 = market.market;
            message.markets.push_back(std::move(market));
        }
        return true;
    }

    bool MagicNames(dom::element& value, CFeedMessage& message)
    {
        dom::array array;
        if (value.get_array().get(array))
            return Fail(Problem::BadField, "is not a list", "signals");
        for (dom::element item : array) {
            dom::object object;
            if (item.get_object().get(object))
                return Fail(Problem::BadField, "holds an entry that is not an object", "signals");
            CFeedMessage::MagicName magic;
            bool numbered = false;
            for (dom::key_value_pair field : object) {
                const std::string_view key = field.key;
                dom::element v = field.value;
                if (key == "number") {
                    long long n = 0;
                    if (!Integer(v, "number", INT32_MIN, INT32_MAX, n))
                        return false;
                    magic.number = static_cast<std::int32_t>(n);
                    numbered = true;
                } else if (key == "name") {
                    if (!Text(v, "name", 1 << 20, false, magic.nameGbk))
                        return false;
                }
            }
            if (!numbered || magic.nameGbk.empty())
                return Fail(Problem::BadField, "needs a number and a name", "signals");
            message.magicNames.push_back(std::move(magic));
        }
        return true;
    }

    bool Members(dom::element& value, CFeedMessage& message)
    {
        dom::array array;
        if (value.get_array().get(array))
            return Fail(Problem::BadField, "is not a list", "members");
        for (dom::element item : array) {
            dom::object object;
            if (item.get_object().get(object))
                return Fail(Problem::BadField, "holds an entry that is not an object", "members");
            unsigned char market = 0;
            std::string code;
            bool numbered = false;
            for (dom::key_value_pair field : object) {
                const std::string_view key = field.key;
                dom::element v = field.value;
                if (key == "market") {
                    if (!Market(v, "market", market))
                        return false;
                    numbered = true;
                } else if (key == "code") {
                    if (!Code(v, code))
                        return false;
                }
            }
            if (!numbered || code.empty())
                return Fail(Problem::BadField, "needs a market and a code", "members");
            message.members.emplace_back(market, std::move(code));
        }
        return true;
    }

    // One field of the line's object; which ones matter depends on the kind, which may come
    // last, so every known field is read.
    bool Field(std::string_view key, dom::element& v, CFeedMessage& message, std::uint32_t& seen)
    {
        auto mark = [&seen](std::uint32_t bit) { seen |= bit; };
        if (key == "type") {
            std::string_view type;
            if (v.get_string().get(type))
                return Fail(Problem::BadField, "is not a string", "type");
            mark(kType);
            if (type == "trade")
                message.kind = CFeedMessage::Kind::Trade;
            else if (type == "symbol")
                message.kind = CFeedMessage::Kind::Symbol;
            else if (type == "signal")
                message.kind = CFeedMessage::Kind::Signal;
            else if (type == "hello")
                message.kind = CFeedMessage::Kind::Hello;
            else if (type == "group")
                message.kind = CFeedMessage::Kind::Group;
            else if (type == "heartbeat")
                message.kind = CFeedMessage::Kind::Heartbeat;
            else if (type == "end")
                message.kind = CFeedMessage::Kind::End;
            else
                message.kind = CFeedMessage::Kind::Unknown;
            return true;
        }
        if (key == "market") {
            mark(kMarket);
            return Market(v, "market", message.market);
        }
        if (key == "code") {
            mark(kCode);
            return Code(v, message.code);
        }
        if (key == "time") {
            mark(kTime);
            return Time(v, message);
        }
        if (key == "price") {
            mark(kPrice);
            return PriceField(v, "price", message.price, &message.priceDecimals);
        }
        if (key == "volume") {
            mark(kVolume);
            return Volume(v, "volume", message.volume);
        }
        if (key == "cum_volume")
            return Volume(v, "cum_volume", message.cumulativeVolume);
        if (key == "amount")
            return Double(v, "amount", message.amount);
        if (key == "name") {
            mark(kName);
            return Text(v, "name", CFeedFieldRules::kMaxNameBytes, true, message.nameGbk);
        }
        if (key == "prev_close")
            return PriceField(v, "prev_close", message.prevClose);
        if (key == "limit_up")
            return PriceField(v, "limit_up", message.limitUp);
        if (key == "limit_down")
            return PriceField(v, "limit_down", message.limitDown);
        if (key == "limit_ratio") {
            if (!Double(v, "limit_ratio", message.limitRatio))
                return false;
            if (message.limitRatio < 0 || message.limitRatio >= 1)
                return Fail(Problem::BadField, "is not a ratio from 0 to 1", "limit_ratio");
            return true;
        }
        if (key == "decimals") {
            long long d = 0;
            if (!Integer(v, "decimals", 2, 3, d))
                return false;
            message.decimals = static_cast<int>(d);
            return true;
        }
        if (key == "pinyin") {
            std::string_view text;
            if (v.get_string().get(text) || text.size() > 48)
                return Fail(Problem::BadField, "is not a short string", "pinyin");
            message.pinyin.assign(text);
            return true;
        }
        if (key == "circulating_shares")
            return Volume(v, "circulating_shares", message.circulatingShares);
        if (key == "five_day_volume_per_minute") {
            if (!Double(v, "five_day_volume_per_minute", message.fiveDayVolumePerMinute))
                return false;
            if (message.fiveDayVolumePerMinute < 0)
                return Fail(Problem::BadField, "is negative", "five_day_volume_per_minute");
            return true;
        }
        if (key == "number") {
            long long n = 0;
            mark(kNumber);
            if (!Integer(v, "number", INT32_MIN, INT32_MAX, n))
                return false;
            message.number = static_cast<std::int32_t>(n);
            return true;
        }
        if (key == "version") {
            long long n = 0;
            if (!Integer(v, "version", 1, INT32_MAX, n))
                return false;
            message.version = static_cast<int>(n);
            return true;
        }
        if (key == "date") {
            long long n = 0;
            mark(kDate);
            if (!Integer(v, "date", 19000101, 99991231, n) || n % 100 < 1 || n % 100 > 31 ||
                n / 100 % 100 < 1 || n / 100 % 100 > 12)
                return Fail(Problem::BadField, "is not a date yyyymmdd", "date");
            message.tradeDate = static_cast<int>(n);
            return true;
        }
        if (key == "markets")
            return Markets(v, message);
        if (key == "signals")
            return MagicNames(v, message);
        if (key == "user") {
            mark(kUser);
            return Text(v, "user", 1 << 20, false, message.userGbk);
        }
        if (key == "group") {
            mark(kGroup);
            return Text(v, "group", 1 << 20, false, message.groupGbk);
        }
        if (key == "members")
            return Members(v, message);
        return true; // a field of a newer source
    }

    static constexpr std::uint32_t kType = 1, kMarket = 2, kCode = 4, kTime = 8, kPrice = 16,
                                   kVolume = 32, kName = 64, kNumber = 128, kDate = 256,
                                   kUser = 512, kGroup = 1024;

    // The fields each kind cannot do without.
    bool Complete(const CFeedMessage& message, std::uint32_t seen)
    {
        using Kind = CFeedMessage::Kind;
        std::uint32_t needed = 0;
        switch (message.kind) {
        case Kind::Hello:
            needed = kDate;
            break;
        case Kind::Symbol:
            needed = kMarket | kCode;
            break;
        case Kind::Trade:
            needed = kMarket | kCode | kTime | kPrice | kVolume;
            break;
        case Kind::Signal:
            needed = kMarket | kCode | kTime | kNumber;
            break;
        case Kind::Group:
            needed = kUser | kGroup;
            break;
        default:
            break;
        }
        if ((seen & needed) != needed)
            return Fail(Problem::BadField, "a field the kind needs is missing");
        return true;
    }
};

CFeedParser::CFeedParser() : m_pImpl(std::make_unique<Impl>()) {}

CFeedParser::~CFeedParser() = default;

bool CFeedParser::ParseTime(std::string_view text, int& seconds, int& millis)
{
    if (text.size() < 8 || text[2] != ':' || text[5] != ':')
        return false;
    for (std::size_t i : {0u, 1u, 3u, 4u, 6u, 7u})
        if (text[i] < '0' || text[i] > '9')
            return false;
    const int hour = (text[0] - '0') * 10 + (text[1] - '0');
    const int minute = (text[3] - '0') * 10 + (text[4] - '0');
    const int second = (text[6] - '0') * 10 + (text[7] - '0');
    if (hour > 23 || minute > 59 || second > 59)
        return false;
    int fraction = 0;
    if (text.size() > 8) {
        if (text[8] != '.' || text.size() == 9 || text.size() > 12)
            return false;
        int scale = 100;
        for (std::size_t i = 9; i < text.size(); ++i, scale /= 10) {
            if (text[i] < '0' || text[i] > '9')
                return false;
            fraction += (text[i] - '0') * scale;
        }
    }
    seconds = hour * 3600 + minute * 60 + second;
    millis = seconds * 1000 + fraction;
    return true;
}

CFeedParser::Problem CFeedParser::Parse(std::string_view line, CFeedMessage& message)
{
    std::vector<char>& copy = m_pImpl->copy;
    if (copy.size() < line.size() + kPadding)
        copy.resize(line.size() + kPadding);
    if (!line.empty())
        std::memcpy(copy.data(), line.data(), line.size());
    return Parse(copy.data(), line.size(), copy.size(), message);
}

CFeedParser::Problem CFeedParser::Parse(const char* line, std::size_t size, std::size_t capacity,
                                        CFeedMessage& message)
{
    message.Clear();
    Impl& impl = *m_pImpl;
    impl.refusal = {};
    m_strWhy.clear();
    bool ok = true;
    std::uint32_t seen = 0;
    {
        // The whole line is checked, whatever fields this host reads of it.
        dom::element document;
        dom::object object;
        (void)capacity;
        const simdjson::error_code code = impl.parser.parse(line, size, false).get(document);
        if (code == simdjson::NUMBER_ERROR) {
            // JSON has no infinity: a price beyond every double is the way one reaches a feed.
            ok = impl.Fail(Problem::BadPrice, "holds a number that is not finite");
        } else if (code) {
            ok = impl.Fail(Problem::Malformed, "is not JSON");
        } else if (document.get_object().get(object)) {
            ok = impl.Fail(Problem::Malformed, "is not a JSON object");
        } else {
            for (dom::key_value_pair field : object) {
                if (!impl.Field(field.key, field.value, message, seen)) {
                    ok = false;
                    break;
                }
            }
        }
    }
    if (ok && !(seen & Impl::kType))
        ok = impl.Fail(Problem::BadField, "has no type");
    if (ok && message.kind == CFeedMessage::Kind::Unknown)
        ok = impl.Fail(Problem::UnknownKind, "is of a kind this host does not know");
    if (ok)
        ok = impl.Complete(message, seen);
    if (ok)
        return Problem::None;
    const Refusal& refusal = impl.refusal;
    if (!refusal.field.empty())
        m_strWhy = std::string(refusal.field) + " " + refusal.why;
    else
        m_strWhy = std::string("the line ") + refusal.why;
    return refusal.problem;
}
