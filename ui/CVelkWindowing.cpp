#include "ui/CVelkWindowing.h"

#include <QTableView>
#include <QWidget>

#include "platform/core/TextCodec.h"
#include "platform/qt/MessageBoxService.h"
#include "platform/qt/QtText.h"
#include "platform/qt/RegisteredMessages.h"
#include "platform/qt/ResourceSwitch.h"
#include "res/VelkStringTable.h"
#include "ui/CAlertListDlg.h"
#include "ui/CAlertSettingDlg.h"
#include "ui/CAlertSettingPane.h"
#include "ui/CAlertWindowHandle.h"
#include "ui/CVelkPropertyPage.h"
#include "ui/CVelkPropertySheet.h"

bool CVelkWindowing::HasMainWindow() const
{
    return VelkMainWindow() != nullptr;
}

std::unique_ptr<IAlertWindow>
CVelkWindowing::CreateAlertWindow(CAlertRecordList* alerts, std::vector<Ta_VELKPRICEALERT>* prices)
{
    CResourceSwitch resources;
    QWidget* owner = VelkMainWindow();
    auto* dialog = new CAlertListDlg(alerts, prices, owner);
    QTableView* list = dialog->ListControl();
    list->setUpdatesEnabled(false);
    dialog->FillAlertList();
    list->setUpdatesEnabled(true);
    if (owner) {
        const QPoint centre = owner->mapToGlobal(owner->rect().center());
        dialog->move(centre - QPoint(dialog->width() / 2, dialog->height() / 2));
    }
    return std::make_unique<CAlertWindowHandle>(dialog);
}

void CVelkWindowing::BringMainWindowToFront()
{
    constexpr qint64 kFrameMs = 16;
    QWidget* owner = VelkMainWindow();
    if (!owner)
        return;
    if (owner == m_pLastRaised && m_lastRaise.isValid() && m_lastRaise.elapsed() < kFrameMs)
        return;
    owner->raise();
    owner->activateWindow();
    m_pLastRaised = owner;
    m_lastRaise.start();
}

namespace {

// The settings sheet's pages in tab order, by class name. A class that is not part of the
// build has no tab.
constexpr const char* kSheetPages[] = {"CSystemAlertDlg", "CMagicAlertDlg", "CAlertStockDlg",
                                       "COtherSettingDlg"};

// The pages of one run: constructed after the sheet, destroyed before it in the reverse order
// of their construction, whichever way the run ends.
class CSheetPages {
public:
    CSheetPages() = default;
    CSheetPages(const CSheetPages&) = delete;
    CSheetPages& operator=(const CSheetPages&) = delete;
    ~CSheetPages()
    {
        while (!m_pages.empty())
            m_pages.pop_back();
    }
    void Add(std::unique_ptr<CVelkPropertyPage> page) { m_pages.push_back(std::move(page)); }
    const std::vector<std::unique_ptr<CVelkPropertyPage>>& Pages() const { return m_pages; }

private:
    std::vector<std::unique_ptr<CVelkPropertyPage>> m_pages;
};

} // namespace

int CVelkWindowing::RunSettingsSheet(CSettingsBinding& binding, IVelkSettingsSink& sink)
{
    // Nothing may leave the module by an exception: a page that fails to build or bind ends
    // the run as a Cancel, with the pages made so far destroyed.
    try {
        const CResourceSwitch resources;
        CVelkPropertySheet sheet(VelkFromGbk(VelkLoadString(VelkString::kSheetCaption)));
        CSheetPages pages;
        for (const char* className : kSheetPages) {
            std::unique_ptr<CVelkPropertyPage> page = CVelkPageRegistry::Create(className);
            if (!page)
                continue;
            page->BindSettings(binding);
            pages.Add(std::move(page));
        }
        for (const auto& page : pages.Pages())
            sheet.AddPage(page.get());
        // The engine takes the committed value while the sheet is open, so that a refusal
        // reaches the user with the values still there to correct.
        sheet.SetAcceptCheck([&binding, &sink] {
            const CSettingsResult result = sink.TakeSettings(binding);
            if (result.bTaken)
                return true;
            VelkMessageBoxService().Show(result.strReasonGbk, TextCodec::Utf8ToGbk("警告"),
                                         VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
            return false;
        });
        return sheet.DoModal() == 1 ? VelkMsgBox::kIdOk : VelkMsgBox::kIdCancel;
    } catch (...) {
        return VelkMsgBox::kIdCancel;
    }
}

namespace {

constexpr const char* kAlertSettingPage = "CAlertSettingDlg";

// The page has no operation of its own for the record it writes: its creator sets it, here to
// the run's own copy, never to the engine's record.
bool AimAlertSettingPage(CVelkPropertyPage& page, const Ta_ALERTSETTING& stored,
                         Ta_ALERTSETTING& committed)
{
    auto* settingPage = dynamic_cast<CAlertSettingDlg*>(&page);
    if (!settingPage)
        return false;
    committed = stored;
    settingPage->m_pSetting = &committed;
    // The page shows what is stored, so that OK without a change keeps it.
    settingPage->FillFrom(stored);
    return true;
}

} // namespace

bool CVelkWindowing::HasAlertSettingPage() const
{
    return CVelkPageRegistry::IsRegistered(kAlertSettingPage);
}

int CVelkWindowing::RunAlertSettingPage(const Ta_ALERTSETTING& stored, IVelkRatioSettingSink& sink)
{
    if (!HasAlertSettingPage())
        return VelkMsgBox::kIdCancel;
    try {
        const CResourceSwitch resources;
        CVelkPropertySheet sheet(VelkFromUtf8("报警比率设置"));
        Ta_ALERTSETTING committed{};
        // Constructed after the sheet, destroyed before it.
        std::unique_ptr<CVelkPropertyPage> page = CVelkPageRegistry::Create(kAlertSettingPage);
        if (!page || !AimAlertSettingPage(*page, stored, committed))
            return VelkMsgBox::kIdCancel;
        sheet.AddPage(page.get());
        // The engine takes the committed record while the page is open, so that a refusal
        // reaches the user with the values still there to correct.
        sheet.SetAcceptCheck([&committed, &sink] {
            const CSettingsResult result = sink.TakeRatioSetting(committed);
            if (result.bTaken)
                return true;
            VelkMessageBoxService().Show(result.strReasonGbk, TextCodec::Utf8ToGbk("警告"),
                                         VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
            return false;
        });
        return sheet.DoModal() == 1 ? VelkMsgBox::kIdOk : VelkMsgBox::kIdCancel;
    } catch (...) {
        return VelkMsgBox::kIdCancel;
    }
}

std::unique_ptr<IAlertSettingPane>
CVelkWindowing::CreateAlertSettingPane(const Ta_ALERTSETTING& stored)
{
    if (!HasAlertSettingPage())
        return nullptr;
    try {
        const CResourceSwitch resources;
        return CAlertSettingPane::Create(stored);
    } catch (...) {
        return nullptr;
    }
}
