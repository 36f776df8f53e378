// The settings pages over files of any bytes: the magic watch page reads MagicStatus.cfg and
// writes it back when it goes, the system alert page reads System_alert.cfg when it opens.
// Input: MagicStatus.cfg, then System_alert.cfg (FuzzSupport.h splits them).
#include <QListWidget>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/CMagicStatusTable.h"
#include "fuzz/FuzzUiContext.h"
#include "ui/CMagicAlertDlg.h"
#include "ui/CSystemAlertDlg.h"

using VelkFuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto& context = VelkFuzz::TheContext<VelkFuzz::CUiContext>();
    const auto parts = VelkFuzz::SplitInput(data, size, 2);
    const std::string statusPath = context.dir.File("SYS/MagicStatus.cfg");
    const std::string systemPath = context.dir.File("SYS/System_alert.cfg");
    VelkFuzz::PlaceFile(statusPath, parts[0]);
    VelkFuzz::PlaceFile(systemPath, parts[1]);

    {
        std::vector<Ta_VELKPRICEALERT> list(2);
        int count = 2;
        CMagicAlertDlg page;
        page.AttachList(&list, &count);
        page.CreatePageWindow();
    }
    // What the page wrote back reads again as the same table.
    CMagicStatusTable once;
    if (once.Load(statusPath)) {
        CMagicStatusTable again;
        Require(once.Save(statusPath) && again.Load(statusPath));
        Require(once.GetEntries() == again.GetEntries());
    }

    CSystemAlertDlg page;
    CString sysPath = context.dir.File("SYS");
    page.SetSystemPath(sysPath);
    page.CreatePageWindow();
    const std::size_t stored = parts[1] && parts[1]->size() >= 7 ? (parts[1]->size() - 7) / 151 : 0;
    Require(page.m_vecStock.size() <= stored);
    Require(page.m_nRange == 2 || page.m_listStock->count() == 0);
    return 0;
}
