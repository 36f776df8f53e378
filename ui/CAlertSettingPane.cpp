#include "ui/CAlertSettingPane.h"

#include <QCheckBox>

#include "ui/CAlertSettingDlg.h"

namespace {

constexpr const char* kPageClass = "CAlertSettingDlg";
// The six ratio check boxes and their edit boxes.
constexpr int kFirstRatioControl = 1095;
constexpr int kLastRatioControl = 1106;
// Each ratio's edit box has the id of its check box plus the number of ratios.
constexpr int kRatioCount = 6;

} // namespace

std::unique_ptr<CAlertSettingPane> CAlertSettingPane::Create(const Ta_ALERTSETTING& stored)
{
    std::unique_ptr<CVelkPropertyPage> created = CVelkPageRegistry::Create(kPageClass);
    auto* page = dynamic_cast<CAlertSettingDlg*>(created.get());
    if (!page)
        return nullptr;
    created.release();
    std::unique_ptr<CAlertSettingPane> pane(new CAlertSettingPane(page, stored));
    page->FillFrom(stored);
    page->CreatePageWindow();
    for (int id = kFirstRatioControl; id <= kLastRatioControl; ++id)
        if (QWidget* control = page->Control(id))
            control->setVisible(true);
    // Shown, an edit takes the state the page's enable rule gives it: open while its ratio is on.
    for (int check = kFirstRatioControl; check < kFirstRatioControl + kRatioCount; ++check) {
        auto* box = qobject_cast<QCheckBox*>(page->Control(check));
        if (QWidget* edit = page->Control(check + kRatioCount); box && edit)
            edit->setEnabled(box->isChecked());
    }
    return pane;
}

CAlertSettingPane::CAlertSettingPane(CAlertSettingDlg* page, const Ta_ALERTSETTING& stored)
    : m_pPage(page), m_stored(stored)
{
}

CAlertSettingPane::~CAlertSettingPane()
{
    delete m_pPage.data();
}

void* CAlertSettingPane::Widget()
{
    return static_cast<QWidget*>(m_pPage.data());
}

bool CAlertSettingPane::Draft(Ta_ALERTSETTING& draft)
{
    if (!m_pPage) {
        draft = m_stored;
        return true;
    }
    // The sheet's order: the page checks its controls first and commits only when they hold.
    if (!m_pPage->OnKillActive())
        return false;
    Ta_ALERTSETTING committed = m_stored;
    m_pPage->m_pSetting = &committed;
    m_pPage->Commit();
    m_pPage->m_pSetting = nullptr;
    draft = committed;
    return true;
}
