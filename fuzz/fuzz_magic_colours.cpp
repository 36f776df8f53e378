// Splits one input into the host's StataBarInfo.ini and one colour text. The engine reads the
// signal colours from the file and parses the text; the profile reader reads the same file.
// A colour is either the "0x" text of six hexadecimal digits it came from or 0xFFFFFFFF, and
// the engine holds exactly the colours of the count the file gives (never more than it allows).
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/CVelkAlert.h"
#include "fuzz/FuzzQuoteContext.h"
#include "fuzz/FuzzSupport.h"
#include "platform/core/ProfileReader.h"
#include "tests/engine/CVelkAlertTestAccess.h"

using VelkFuzz::Require;

namespace {

constexpr unsigned long kBadColour = 0xFFFFFFFF;
constexpr int kMaxColourKeys = 4096;

using CFuzzContext = VelkFuzz::CQuoteContext;

CFuzzContext& Context()
{
    return VelkFuzz::TheContext<CFuzzContext>();
}

std::string Canonical(const std::string& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    std::string out = text.substr(begin, end - begin);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool IsColourText(const std::string& canonical)
{
    if (canonical.size() != 8 || canonical.compare(0, 2, "0X") != 0)
        return false;
    return std::all_of(canonical.begin() + 2, canonical.end(),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

// The colour of a text: the text is a colour text exactly when the colour prints back as it.
void CheckColour(const std::string& text, unsigned long colour)
{
    const std::string canonical = Canonical(text);
    if (colour == kBadColour) {
        Require(!IsColourText(canonical));
        return;
    }
    Require(colour <= 0xFFFFFF);
    char printed[16];
    std::snprintf(printed, sizeof printed, "0X%06lX", colour);
    Require(canonical == printed);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzContext& context = Context();
    const auto parts = VelkFuzz::SplitInput(data, size, 2);
    const std::string iniPath = context.dir.File("StataBarInfo.ini");
    VelkFuzz::PlaceFile(iniPath, parts[0]);

    CVelkAlert engine{CVelkServices{}};
    std::string text(parts[1].value_or(""));
    // The engine takes a C string: the text ends at its first NUL.
    const std::string cText = text.c_str();
    CheckColour(cText, CVelkAlertTestAccess::AtoCr(engine, text.data()));

    unsigned long colour = 0x12345678;
    const int found = CVelkAlertTestAccess::GetMagicSignalColor(engine, 0, colour);
    const auto& colours = CVelkAlertTestAccess::MagicColours(engine);
    Require(found == (colours.count(0) ? 1 : 0));
    Require(found ? colour == colours.at(0) : colour == 0x12345678);

    const CProfileReader profile(iniPath);
    const int count =
        std::clamp(profile.GetInt("SHORTMAGIC_COLOR", "MAGICCOUNT", 0), 0, kMaxColourKeys);
    Require(colours.size() == static_cast<std::size_t>(count));
    for (const auto& [number, value] : colours) {
        Require(number >= 0 && number < count);
        const std::string stored = profile.GetString(
            "SHORTMAGIC_COLOR", "MAGICCODE" + std::to_string(number), "0xFFFFFF", 259);
        Require(stored.size() <= 259);
        CheckColour(stored.c_str(), value);
    }
    return 0;
}
