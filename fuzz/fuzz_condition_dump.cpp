// Splits one input into alert.cfg, Magic.cfg and System_alert.cfg and prints them as velk-host's
// dump does, with the engine's readers on the same files beside it: both must count the same
// records, the ignored tail must be what lies past the last whole record, and the JSON must be
// valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/CSystemAlertStore.h"
#include "engine/CVelkAlert.h"
#include "fuzz/FuzzQuoteContext.h"
#include "fuzz/FuzzSupport.h"
#include "host/core/CConditionDump.h"

using VelkFuzz::Require;
using json = nlohmann::ordered_json;

namespace {

constexpr std::size_t kAlertHeader = sizeof(Ta_ALERTSETTING) + sizeof(Ta_OTHERALERT);
constexpr std::size_t kRecord = sizeof(Ta_VELKPRICEALERT);
constexpr std::size_t kSwitches = sizeof(Ta_SYSTEMSWITCH);

using CFuzzContext = VelkFuzz::CQuoteContext;

CFuzzContext& Context()
{
    return VelkFuzz::TheContext<CFuzzContext>();
}

void CheckFile(const json& file, const char* listName, std::size_t size, std::size_t header,
               std::size_t engineCount)
{
    Require(file["size"] == size);
    const std::size_t whole = size >= header ? (size - header) / kRecord : 0;
    Require(file[listName].size() == whole);
    Require(whole == engineCount);
    const std::size_t used = header + whole * kRecord;
    Require(file["ignored_bytes"] == (size > used ? size - used : 0));
    for (const json& stock : file[listName])
        Require(stock["magic"].size() == 18);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzContext& context = Context();
    const auto parts = VelkFuzz::SplitInput(data, size, 3);
    const std::string alertCfg(parts[0].value_or(""));
    const std::string magicCfg(parts[1].value_or(""));
    const std::string systemCfg(parts[2].value_or(""));
    VelkFuzz::PlaceFile(context.dir.File("alert.cfg"), alertCfg);
    VelkFuzz::PlaceFile(context.dir.File("Magic.cfg"), magicCfg);
    VelkFuzz::PlaceFile(CSystemAlertStore::FilePath(context.dir.Path()), systemCfg);

    CVelkAlert engine{CVelkServices{}};
    CString path = context.dir.Path();
    engine.SetSYSPath(path);
    Require(engine.LoadAlertCondition() == 1);
    CSystemAlertStore page;
    page.SetSystemPath(path);
    Require(page.LoadSystemAlert() == 1);

    const json dump = CConditionDump::DumpConditions(context.dir.Path());
    CheckFile(dump["alert.cfg"], "price_alerts", alertCfg.size(), kAlertHeader,
              static_cast<std::size_t>(engine.GetPriceAlertCount()));
    CheckFile(dump["Magic.cfg"], "magic_alerts", magicCfg.size(), 0,
              static_cast<std::size_t>(engine.GetMagicAlertCount()));
    CheckFile(dump["System_alert.cfg"], "system_alerts", systemCfg.size(), kSwitches,
              page.m_vecStock.size());
    // A header cut short is put out with the fields it holds whole, and no more.
    Require(dump["alert.cfg"]["alert_setting"].size() ==
            std::min<std::size_t>(alertCfg.size() / 4, 11));
    Require(dump["System_alert.cfg"]["switches"].size() ==
            (systemCfg.size() >= kSwitches ? 4 : std::min<std::size_t>(systemCfg.size(), 3)));
    // Strict serialisation: a text that is not valid UTF-8 throws here.
    Require(!dump.dump().empty());
    return 0;
}
