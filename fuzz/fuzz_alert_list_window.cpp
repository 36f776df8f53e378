// The alert list window over a day file of any bytes: it loads the file's whole records, sorts
// the list latest first on showing it, and writes back exactly those records in that order.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "engine/CAlertDayFile.h"
#include "fuzz/FuzzUiContext.h"
#include "ui/CAlertListDlg.h"
#include "ui/CAlertListModel.h"

using VelkFuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto& context = VelkFuzz::TheContext<VelkFuzz::CUiContext>();
    context.store.SetTradeDate(20240105);
    const std::string path = CAlertListDlg::DayFilePath();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    VelkFuzz::PlaceFile(path, bytes);
    // The damaged copy of an earlier input is not this input's.
    VelkFuzz::PlaceFile(CAlertDayFile::DamagedPath(path), std::nullopt);

    const std::size_t count = size / sizeof(Ta_ALERTRECORD);
    CAlertRecordList alerts;
    std::vector<Ta_VELKPRICEALERT> prices(1);
    {
        auto window = std::make_unique<CAlertListDlg>(&alerts, &prices);
        Require(alerts.size() == count);
        window->FillAlertList();
        Require(std::is_sorted(alerts.begin(), alerts.end(),
                               [](const auto& a, const auto& b) { return a.m_nTime > b.m_nTime; }));
        Require(window->Model()->rowCount() == static_cast<int>(count));
        for (int row = 0; row < window->Model()->rowCount(); ++row)
            for (int column = 0; column < window->Model()->columnCount(); ++column)
                window->Model()->index(row, column).data();
    }
    // Every record loaded is written back, as sorted, texts ending inside their fields.
    std::string saved;
    Require(VelkReadFile(path, saved));
    Require(saved.size() == count * sizeof(Ta_ALERTRECORD));
    std::size_t at = 0;
    for (const Ta_ALERTRECORD& record : alerts) {
        Require(std::memcmp(saved.data() + at, &record, sizeof record) == 0);
        Require(std::memchr(record.m_szCode, 0, sizeof record.m_szCode) != nullptr);
        Require(std::memchr(record.m_szName, 0, sizeof record.m_szName) != nullptr);
        Require(std::memchr(record.m_szReason, 0, sizeof record.m_szReason) != nullptr);
        at += sizeof record;
    }
    // A cut-off record at the end was kept aside before the rewrite.
    Require(VelkFileExists(CAlertDayFile::DamagedPath(path)) ==
            (size % sizeof(Ta_ALERTRECORD) != 0));
    return 0;
}
