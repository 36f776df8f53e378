// Feeds one input as every condition and list file the engine reads at start-up, then starts
// the engine and adds a stock to the system-alert list. Whatever the bytes, nothing may crash,
// and the list file must stay made of whole records.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "CQuoteStore.h"
#include "CSystemAlertStore.h"
#include "CVelkAlert.h"
#include "VelkFile.h"

namespace {

struct CFuzzContext {
    CFuzzContext()
    {
        std::string templ = (std::filesystem::temp_directory_path() / "velk-fuzz-XXXXXX").string();
        if (!::mkdtemp(templ.data()))
            std::abort();
        dir = templ;
        store.SetSysPath(dir);
        store.AddSymbol(1, "600000", "Fuzz Bank");
        store.SetTradeDate(20211201);
    }
    ~CFuzzContext()
    {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string dir;
    CQuoteStore store;
    CScopedHostBackend backend{store};
};

CFuzzContext& Context()
{
    static CFuzzContext context;
    return context;
}

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckMapsPointIntoLists(CVelkAlert& engine)
{
    std::vector<Ta_VELKPRICEALERT>* systemList = nullptr;
    std::vector<Ta_VELKPRICEALERT>* priceList = nullptr;
    std::vector<Ta_VELKPRICEALERT>* magicList = nullptr;
    engine.GetSystemAlert(&systemList);
    engine.GetPriceAlter(&priceList);
    engine.GetMagicAlter(&magicList);
    for (const auto& [key, index] : engine.GetSystemAlertMap())
        Require(index >= 0 && static_cast<std::size_t>(index) < systemList->size());
    for (const auto& [key, index] : engine.GetPriceAlertMap())
        Require(index >= 0 && static_cast<std::size_t>(index) < priceList->size());
    for (const auto& [key, index] : engine.GetMagicAlertMap())
        Require(index >= 0 && static_cast<std::size_t>(index) < magicList->size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzContext& context = Context();
    std::string_view input(reinterpret_cast<const char*>(data), size);
    for (const char* name : {"alert.cfg", "Magic.cfg", "System_alert.cfg"})
        Require(VelkReplaceFile(VelkJoinPath(context.dir, name), input));

    CVelkAlert engine{CVelkServices{}};
    CString path = context.dir;
    engine.SetSYSPath(path);
    engine.LoadAlertCondition();
    CheckMapsPointIntoLists(engine);
    engine.Start();
    CheckMapsPointIntoLists(engine);

    engine.AddStockToSystemAlert(1, "#000001");
    engine.AddStockToSystemAlert(1, "600000");
    engine.AddStockToSystemAlert(2, std::string(input.substr(0, 16)));
    CheckMapsPointIntoLists(engine);

    // A stock the file already holds leaves it untouched; any append leaves whole records only.
    std::string bytes;
    Require(VelkReadFile(CSystemAlertStore::FilePath(context.dir), bytes));
    if (bytes != input) {
        Require(bytes.size() >= sizeof(Ta_SYSTEMSWITCH) + sizeof(Ta_VELKPRICEALERT));
        Require((bytes.size() - sizeof(Ta_SYSTEMSWITCH)) % sizeof(Ta_VELKPRICEALERT) == 0);
    }
    CKeyIndexMap keys;
    Require(CSystemAlertStore::ReadSystemAlertKeys(context.dir, keys) == 1);
    Require(keys.count("1600000") == 1);
    return 0;
}
