#include "ui/CAlertSettingDlg.h"

#include <QCheckBox>
#include <QLineEdit>
#include <iterator>

#include "ui/VelkDataExchange.h"
#include "ui_IDD_ALERTSETTING_177.h"

namespace {

struct CSwitch {
    int nCheckId;
    int CAlertSettingDlg::*pMember;
};

// The check boxes in the order of their members.
constexpr CSwitch kSwitches[] = {
    {1096, &CAlertSettingDlg::m_bFall},       {1098, &CAlertSettingDlg::m_bVolumeRatio},
    {1094, &CAlertSettingDlg::m_bLimitPrice}, {1092, &CAlertSettingDlg::m_bNewHigh},
    {1093, &CAlertSettingDlg::m_bNewLow},     {1099, &CAlertSettingDlg::m_bLargeAmount},
    {1097, &CAlertSettingDlg::m_bSingle},     {1100, &CAlertSettingDlg::m_bLargeVolume},
    {1095, &CAlertSettingDlg::m_bRise},       {1112, &CAlertSettingDlg::m_bSound},
    {1091, &CAlertSettingDlg::m_bPopup},
};

struct CRatio {
    int nCheckId;
    int nEditId;
    int CAlertSettingDlg::*pSwitch;
    float CAlertSettingDlg::*pValue;
    float fMax;
    float fDefault;
    // Percentages of a price move: a box switched off with a value out of range starts again
    // from 0.
    bool bResetWhenOff;
};

// The ratios in the order of their value members.
constexpr CRatio kRatios[] = {
    {1096, 1102, &CAlertSettingDlg::m_bFall, &CAlertSettingDlg::m_fFall, 999.0f, 4.0f, true},
    {1098, 1104, &CAlertSettingDlg::m_bVolumeRatio, &CAlertSettingDlg::m_fVolumeRatio, 9999.0f,
     50.0f, false},
    {1099, 1105, &CAlertSettingDlg::m_bLargeAmount, &CAlertSettingDlg::m_fLargeAmount, 9999.0f,
     100.0f, false},
    {1097, 1103, &CAlertSettingDlg::m_bSingle, &CAlertSettingDlg::m_fSingle, 999.0f, 2.0f, true},
    {1100, 1106, &CAlertSettingDlg::m_bLargeVolume, &CAlertSettingDlg::m_fLargeVolume, 9999.0f,
     0.1f, false},
    {1095, 1101, &CAlertSettingDlg::m_bRise, &CAlertSettingDlg::m_fRise, 999.0f, 4.0f, true},
};

constexpr int kDefaultsButton = 1107;
constexpr float kRatioMin = 0.0f;
constexpr float kRatioOff = -1.0f;

} // namespace

CAlertSettingDlg::CAlertSettingDlg() : CVelkPropertyPage(IDD, "系统预警", QSize(449, 233)) {}

CAlertSettingDlg::~CAlertSettingDlg() = default;

void CAlertSettingDlg::CreateControls()
{
    m_pForm = std::make_unique<Ui::CAlertSettingDlgForm>();
    m_pForm->setupUi(this);
}

bool CAlertSettingDlg::OnInitDialog()
{
    CVelkPropertyPage::OnInitDialog();
    for (const CRatio& ratio : kRatios)
        OnCommand(ratio.nCheckId, [this, id = ratio.nCheckId] { OnRatioCheck(id); });
    OnCommand(kDefaultsButton, [this] { OnDefaults(); });
    UpdateData(false);
    // A page filled from a record opens with the values of its switched-on ratios editable.
    for (const CRatio& r : kRatios)
        if (QWidget* edit = Control(r.nEditId); edit && this->*r.pSwitch != 0)
            edit->setEnabled(true);
    return true;
}

void CAlertSettingDlg::FillFrom(const Ta_ALERTSETTING& setting)
{
    m_bPopup = setting.m_bPopupDialog != 0 ? 1 : 0;
    m_bSound = setting.m_bSound != 0 ? 1 : 0;
    m_bNewHigh = setting.m_bNewHigh != 0 ? 1 : 0;
    m_bNewLow = setting.m_bNewLow != 0 ? 1 : 0;
    m_bLimitPrice = setting.m_bLimitPrice != 0 ? 1 : 0;
    const float values[] = {setting.m_fFallRatio,   setting.m_fVolumeRatio, setting.m_fLargeAmount,
                            setting.m_fSingleRatio, setting.m_fLargeVolume, setting.m_fRiseRatio};
    static_assert(std::size(values) == std::size(kRatios));
    for (std::size_t i = 0; i < std::size(kRatios); ++i) {
        const bool on = values[i] >= kRatioMin;
        this->*kRatios[i].pSwitch = on ? 1 : 0;
        this->*kRatios[i].pValue = on ? values[i] : 0.0f;
    }
}

bool CAlertSettingDlg::DoDataExchange(bool bSaveAndValidate)
{
    for (const CSwitch& s : kSwitches) {
        auto* box = qobject_cast<QCheckBox*>(Control(s.nCheckId));
        if (!box)
            continue;
        if (bSaveAndValidate)
            this->*s.pMember = box->isChecked() ? 1 : 0;
        else
            box->setChecked(this->*s.pMember != 0);
    }
    for (const CRatio& r : kRatios) {
        auto* edit = qobject_cast<QLineEdit*>(Control(r.nEditId));
        if (!edit)
            continue;
        if (!bSaveAndValidate)
            edit->setText(VelkFormatFloat(this->*r.pValue));
        else if (!VelkExchangeFloat(edit, this->*r.pValue, kRatioMin, r.fMax))
            return false;
    }
    return true;
}

void CAlertSettingDlg::OnRatioCheck(int nCheckId)
{
    UpdateData(true);
    for (const CRatio& r : kRatios) {
        if (r.nCheckId != nCheckId)
            continue;
        QWidget* edit = Control(r.nEditId);
        if (!edit)
            return;
        const bool on = this->*r.pSwitch != 0;
        edit->setEnabled(on);
        float& value = this->*r.pValue;
        if (!on && r.bResetWhenOff && (value < kRatioMin || value > r.fMax)) {
            value = 0.0f;
            if (auto* box = qobject_cast<QLineEdit*>(edit))
                box->setText(QStringLiteral("0"));
        }
        return;
    }
}

void CAlertSettingDlg::OnDefaults()
{
    for (const CSwitch& s : kSwitches)
        this->*s.pMember = 1;
    for (const CRatio& r : kRatios) {
        this->*r.pValue = r.fDefault;
        if (QWidget* edit = Control(r.nEditId))
            edit->setEnabled(true);
    }
    UpdateData(false);
}

void CAlertSettingDlg::Commit()
{
    UpdateData(true);
    if (!m_pSetting)
        return;
    auto ratio = [](int bOn, float fValue) { return bOn ? fValue : kRatioOff; };
    Ta_ALERTSETTING& s = *m_pSetting;
    s.m_bPopupDialog = m_bPopup;
    s.m_bSound = m_bSound;
    s.m_bNewHigh = m_bNewHigh;
    s.m_bNewLow = m_bNewLow;
    s.m_bLimitPrice = m_bLimitPrice;
    s.m_fRiseRatio = ratio(m_bRise, m_fRise);
    s.m_fFallRatio = ratio(m_bFall, m_fFall);
    s.m_fVolumeRatio = ratio(m_bVolumeRatio, m_fVolumeRatio);
    s.m_fSingleRatio = ratio(m_bSingle, m_fSingle);
    s.m_fLargeAmount = ratio(m_bLargeAmount, m_fLargeAmount);
    s.m_fLargeVolume = ratio(m_bLargeVolume, m_fLargeVolume);
}

bool CAlertSettingDlg::OnKillActive()
{
    return UpdateData(true);
}

void CAlertSettingDlg::OnOK()
{
    Commit();
    CVelkPropertyPage::OnOK();
}

VELK_IMPLEMENT_DYNCREATE(CAlertSettingDlg)
