// Another host program: it fills the quote service, monitors one stock and hears the limit-up
// alert the module raises for it.
#include <CQuoteStore.h>
#include <CVelkAlert.h>
#include <cstdio>
#include <string>

namespace {

class Printer final : public IVelkAlertObserver {
public:
    void OnAlertRecorded(const Ta_ALERTRECORD& record) override
    {
        std::printf("limit-up alert at %d for %s\n", static_cast<int>(record.m_nTime),
                    VelkFieldText(record.m_szCode).c_str());
    }
};

void Quote(CVelkAlert& engine, double price)
{
    CQuoteStore& store = CQuoteStore::Instance();
    store.SetItem(1, "600000", X1Format::Price(125, price));
    store.SetItem(1, "600000", X1Format::Volume(413, 1000));
    store.SetItem(1, "600000", X1Format::Price(130, price));
    store.SetItem(1, "600000", X1Format::Price(131, price));
    store.SetItem(1, "600000", X1Format::Time(143, 9, 30, 0));
    CMemoryInfo info(1, "600000");
    engine.vRecvNewMemory(&info);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    CQuoteStore& store = CQuoteStore::Instance();
    store.AddMarket(1, "SH", 1);
    store.AddSymbol(1, "600000", "PFYH");
    store.SetItem(1, "600000", X1Format::Price(132, 11.0));
    store.SetItem(1, "600000", X1Format::Price(133, 9.0));

    // No windows, no sound: the engine records and tells the observer.
    CVelkAlert engine{CVelkServices{}};
    std::string sys = argv[1];
    engine.SetSYSPath(sys);
    Printer printer;
    engine.SetAlertObserver(&printer);
    engine.Start();
    engine.AddStockToSystemAlert(1, "600000");
    Quote(engine, 10.5);
    Quote(engine, 11.0);
    return engine.GetAlertRecords().size() == 1 ? 0 : 1;
}
