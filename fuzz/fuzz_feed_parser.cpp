// Feeds one input to a live session as a feed would arrive: split into lines by the bounded
// line reader in pieces of varying size, each line parsed and, when it parses, taken by a
// session whose engine watches every stock. A line the parser takes holds only what its checks
// promise; nothing the input says may crash the session or grow it without bound.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/CVelkAlert.h"
#include "fuzz/FuzzQuoteContext.h"
#include "fuzz/FuzzSupport.h"
#include "host/feed/CFeedFieldRules.h"
#include "host/feed/CFeedLineReader.h"
#include "host/feed/CFeedParser.h"
#include "host/feed/CLiveSession.h"

using VelkFuzz::Require;

namespace {

void CheckMessage(const CFeedMessage& m)
{
    using Kind = CFeedMessage::Kind;
    if (m.kind == Kind::Symbol || m.kind == Kind::Trade || m.kind == Kind::Signal) {
        Require(!m.code.empty() && m.code.size() <= CFeedFieldRules::kMaxCodeLength);
        for (char c : m.code)
            Require(c > ' ' && c <= '~');
    }
    if (m.kind == Kind::Symbol) {
        Require(m.nameGbk.size() <= CFeedFieldRules::kMaxNameBytes);
        for (double price : {m.prevClose, m.limitUp, m.limitDown})
            Require(CFeedFieldRules::Price(price) == nullptr);
    }
    if (m.kind == Kind::Trade) {
        Require(CFeedFieldRules::Price(m.price) == nullptr);
        Require(m.volume >= 0 && std::floor(m.volume) == m.volume);
        Require(m.time >= 0 && m.time < 86400 && m.timeMillis / 1000 == m.time);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    VelkFuzz::CQuoteContext& context = VelkFuzz::TheContext<VelkFuzz::CQuoteContext>();
    static CFeedParser parser;
    CFeedMessage message;
    CVelkServices services{};
    CLiveSession session(context.store, context.dir.Path(), &services, nullptr);
    CFeedLineReader reader;
    std::string why;

    // Pieces of 1, 2, 3... bytes, so that lines are cut at every kind of place.
    std::size_t at = 0;
    std::size_t piece = 1;
    auto drain = [&](CFeedLineReader::Next next, std::string_view line, std::size_t capacity) {
        if (next != CFeedLineReader::Next::Line)
            return;
        Require(line.size() <= CFeedLineReader::kMaxLine);
        Require(capacity >= line.size() + CFeedParser::kPadding);
        if (parser.Parse(line.data(), line.size(), capacity, message) ==
            CFeedParser::Problem::None) {
            CheckMessage(message);
            session.Apply(message, why);
        }
    };
    while (at < size) {
        const std::size_t taken =
            reader.Append(reinterpret_cast<const char*>(data) + at, std::min(piece, size - at));
        at += taken;
        piece = piece % 97 + 1;
        std::string_view line;
        std::size_t capacity = 0;
        for (CFeedLineReader::Next next;
             (next = reader.NextLine(line, capacity)) != CFeedLineReader::Next::None;)
            drain(next, line, capacity);
        if (session.Ended())
            break;
    }
    std::string_view line;
    std::size_t capacity = 0;
    drain(reader.FinishLine(line, capacity), line, capacity);
    session.Finish();
    return 0;
}
