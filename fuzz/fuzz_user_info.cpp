// Reads one input as the host's UserInfo.cfg (a part that stands for no file means none) and
// fills the system-alert list from the self-selected groups of the user it names. The user ID
// is the text before the first NUL of the first 16 bytes, whatever follows.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/CVelkAlert.h"
#include "fuzz/FuzzQuoteContext.h"
#include "fuzz/FuzzSupport.h"
#include "tests/engine/CVelkAlertTestAccess.h"

using VelkFuzz::Require;

namespace {

const char* const kUser = "fuzzuser";

struct CFuzzContext : VelkFuzz::CQuoteContext {
    CFuzzContext()
    {
        store.AddSymbol(1, "600000", "Fuzz Bank");
        store.AddSymbol(1, "600001", "Fuzz Steel");
        store.AddUserGroup(kUser, "g1", {CSymbolInfo(1, "600000"), CSymbolInfo(1, "600001")});
        store.AddUserGroup(kUser, "g2", {CSymbolInfo(1, "600000")});
    }
};

CFuzzContext& Context()
{
    return VelkFuzz::TheContext<CFuzzContext>();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzContext& context = Context();
    const auto file = VelkFuzz::SplitInput(data, size, 1)[0];
    VelkFuzz::PlaceFile(context.dir.File("UserInfo.cfg"), file);

    std::string_view head = file ? file->substr(0, 16) : std::string_view();
    head = head.substr(0, std::min(head.size(), head.find('\0')));

    CVelkAlert engine{CVelkServices{}};
    CString user;
    CVelkAlertTestAccess::GetUserID(engine, user);
    Require(user == head);

    engine.GetSSVStock();
    const std::vector<Ta_VELKPRICEALERT>& list = CVelkAlertTestAccess::SystemList(engine);
    // Both groups, a stock in both of them twice.
    Require(list.size() == (user == kUser ? 3u : 0u));
    return 0;
}
