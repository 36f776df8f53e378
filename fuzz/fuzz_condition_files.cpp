// Splits one input into alert.cfg, Magic.cfg and System_alert.cfg (each may be missing), loads
// and starts an engine on them, saves the conditions and loads them back, adds stocks to the
// system-alert list and lets the system alert page rewrite its file. Whatever the bytes,
// nothing may crash, every map must point at a record with its key, and what is saved must
// load back as it was.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/CSystemAlertStore.h"
#include "engine/CVelkAlert.h"
#include "fuzz/FuzzQuoteContext.h"
#include "fuzz/FuzzSupport.h"
#include "platform/core/VelkFile.h"

using VelkFuzz::Require;

namespace {

constexpr std::size_t kAlertHeader = sizeof(Ta_ALERTSETTING) + sizeof(Ta_OTHERALERT);
constexpr std::size_t kRecord = sizeof(Ta_VELKPRICEALERT);
constexpr std::size_t kSwitches = sizeof(Ta_SYSTEMSWITCH);

struct CFuzzContext : VelkFuzz::CQuoteContext {
    CFuzzContext()
    {
        store.AddSymbol(1, "600000", "Fuzz Bank");
        store.SetTradeDate(20211201);
    }
};

CFuzzContext& Context()
{
    return VelkFuzz::TheContext<CFuzzContext>();
}

bool SameBytes(const void* a, const void* b, std::size_t size)
{
    return std::memcmp(a, b, size) == 0;
}

bool SameRecords(const std::vector<Ta_VELKPRICEALERT>& a, const std::vector<Ta_VELKPRICEALERT>& b)
{
    return a.size() == b.size() && (a.empty() || SameBytes(a.data(), b.data(), a.size() * kRecord));
}

// Every record's texts end inside their fields, and every map entry names the last record of
// the list with its key.
void CheckList(const std::vector<Ta_VELKPRICEALERT>& list, const CKeyIndexMap& map,
               std::string (*key)(unsigned char, const std::string&))
{
    for (const Ta_VELKPRICEALERT& record : list) {
        Require(VelkFieldText(record.m_szCode).size() < sizeof record.m_szCode);
        Require(VelkFieldText(record.m_szName).size() < sizeof record.m_szName);
    }
    for (const auto& [text, index] : map) {
        Require(index >= 0 && static_cast<std::size_t>(index) < list.size());
        const Ta_VELKPRICEALERT& record = list[static_cast<std::size_t>(index)];
        Require(key(record.m_byMarket, VelkFieldText(record.m_szCode)) == text);
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        auto found = map.find(key(list[i].m_byMarket, VelkFieldText(list[i].m_szCode)));
        Require(found != map.end() && static_cast<std::size_t>(found->second) >= i);
    }
}

struct CLists {
    std::vector<Ta_VELKPRICEALERT>* system = nullptr;
    std::vector<Ta_VELKPRICEALERT>* price = nullptr;
    std::vector<Ta_VELKPRICEALERT>* magic = nullptr;
    Ta_OTHERALERT* options = nullptr;
};

CLists ListsOf(CVelkAlert& engine)
{
    CLists lists;
    engine.GetSystemAlert(&lists.system);
    engine.GetPriceAlter(&lists.price);
    engine.GetMagicAlter(&lists.magic);
    engine.GetAlertCondition(&lists.options);
    return lists;
}

void CheckEngine(CVelkAlert& engine)
{
    CLists lists = ListsOf(engine);
    CheckList(*lists.system, engine.GetSystemAlertMap(), VelkDecimalKey);
    CheckList(*lists.price, engine.GetPriceAlertMap(), VelkDecimalKey);
    CheckList(*lists.magic, engine.GetMagicAlertMap(), VelkHexKey);
    Require(VelkFieldText(lists.options->m_szWavePath).size() < sizeof lists.options->m_szWavePath);
}

std::size_t Records(const std::optional<std::string_view>& file, std::size_t header)
{
    return file && file->size() >= header ? (file->size() - header) / kRecord : 0;
}

// The conditions saved by one engine load back whole into another.
void CheckSaveLoad(CVelkAlert& engine, const std::string& dir)
{
    engine.SaveAlertCondition();
    CheckEngine(engine);
    CLists saved = ListsOf(engine);
    std::string bytes;
    Require(VelkReadFile(VelkJoinPath(dir, "alert.cfg"), bytes));
    Require(bytes.size() == kAlertHeader + kRecord * saved.price->size());
    Require(VelkReadFile(VelkJoinPath(dir, "Magic.cfg"), bytes));
    Require(bytes.size() == kRecord * saved.magic->size());

    CVelkAlert reloaded{CVelkServices{}};
    CString path = dir;
    reloaded.SetSYSPath(path);
    Require(reloaded.LoadAlertCondition() == 1);
    CLists loaded = ListsOf(reloaded);
    Require(SameRecords(*loaded.price, *saved.price));
    Require(SameRecords(*loaded.magic, *saved.magic));
    Require(
        SameBytes(&reloaded.GetAlertSetting(), &engine.GetAlertSetting(), sizeof(Ta_ALERTSETTING)));
    Require(SameBytes(loaded.options, saved.options, sizeof(Ta_OTHERALERT)));
}

// The page's rewrite of System_alert.cfg loads back as the list it wrote.
void CheckSystemPage(const std::string& dir)
{
    CString path = dir;
    CSystemAlertStore page;
    page.SetSystemPath(path);
    page.SetAlertList(nullptr);
    page.LoadSystemAlert();
    page.SaveSystemAlert();
    std::string bytes;
    Require(VelkReadFile(CSystemAlertStore::FilePath(dir), bytes));
    Require(bytes.size() == kSwitches + kRecord * page.m_vecStock.size());

    CSystemAlertStore again;
    again.SetSystemPath(path);
    Require(again.LoadSystemAlert() == 1);
    Require(SameRecords(again.m_vecStock, page.m_vecStock));
    Require(SameBytes(&again.m_switches, &page.m_switches, kSwitches));
    for (const auto& [code, index] : again.m_mapCode)
        Require(index >= 0 && static_cast<std::size_t>(index) < again.m_vecStock.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzContext& context = Context();
    const auto parts = VelkFuzz::SplitInput(data, size, 3);
    const auto& alertCfg = parts[0];
    const auto& magicCfg = parts[1];
    const auto& systemCfg = parts[2];
    VelkFuzz::PlaceFile(context.dir.File("alert.cfg"), alertCfg);
    VelkFuzz::PlaceFile(context.dir.File("Magic.cfg"), magicCfg);
    VelkFuzz::PlaceFile(CSystemAlertStore::FilePath(context.dir.Path()), systemCfg);

    CVelkAlert engine{CVelkServices{}};
    CString path = context.dir.Path();
    engine.SetSYSPath(path);
    const int loaded = engine.LoadAlertCondition();
    Require(loaded == (alertCfg && magicCfg ? 1 : 0));
    CheckEngine(engine);
    CLists lists = ListsOf(engine);
    Require(lists.price->size() == Records(alertCfg, kAlertHeader));
    Require(engine.GetPriceAlertCount() == static_cast<int>(lists.price->size()));
    Require(lists.magic->size() == Records(magicCfg, 0));

    engine.Start();
    CheckEngine(engine);
    Ta_SYSTEMSWITCH fileSwitches{0, 0, 1, 2};
    if (systemCfg && systemCfg->size() >= kSwitches)
        std::memcpy(&fileSwitches, systemCfg->data(), kSwitches);
    if (fileSwitches.m_nRange == 2)
        Require(lists.system->size() == Records(systemCfg, kSwitches));
    else
        Require(lists.system->empty()); // no self-selected groups, and nothing before Start

    CheckSaveLoad(engine, context.dir.Path());

    engine.AddStockToSystemAlert(1, "#000001");
    engine.AddStockToSystemAlert(1, "600000");
    engine.AddStockToSystemAlert(2, std::string(systemCfg ? systemCfg->substr(0, 16) : ""));
    CheckEngine(engine);

    // A stock the file already holds leaves it untouched; any append leaves whole records only.
    std::string bytes;
    Require(VelkReadFile(CSystemAlertStore::FilePath(context.dir.Path()), bytes));
    if (!systemCfg || bytes != *systemCfg) {
        Require(bytes.size() >= kSwitches + kRecord);
        Require((bytes.size() - kSwitches) % kRecord == 0);
    }
    CKeyIndexMap keys;
    Require(CSystemAlertStore::ReadSystemAlertKeys(context.dir.Path(), keys) == 1);
    Require(keys.count("1600000") == 1);

    CheckSystemPage(context.dir.Path());
    return 0;
}
