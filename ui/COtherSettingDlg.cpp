#include "ui/COtherSettingDlg.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cstring>

#include "engine/VelkServices.h"
#include "platform/core/TextCodec.h"
#include "platform/core/VelkFile.h"
#include "platform/qt/CQueuedSound.h"
#include "platform/qt/MessageBoxService.h"
#include "platform/qt/QtText.h"
#include "ui_IDD_OTHERSETTING_12003.h"

namespace {

constexpr int kSoundButtons[] = {12000, 12001, 12002};
constexpr int kWaveMode = 2;
constexpr int kPathBox = 12003;
constexpr int kPopupCheck = 12004;
constexpr int kBrowseButton = 12005;
constexpr int kTestButton = 12006;
// The path field's width less its terminator.
constexpr std::size_t kPathMax = sizeof(Ta_OTHERALERT::m_szWavePath) - 1;

std::string Gbk(const char* utf8)
{
    return VelkToGbk(VelkFromUtf8(utf8));
}

// The wave path is GBK; file names here are UTF-8. A file is found under either form, as the
// sound service looks for it. A directory is no sound file.
bool WaveFileAccessible(const std::string& pathGbk)
{
    if (pathGbk.empty())
        return false;
    for (const std::string& name : {TextCodec::GbkToUtf8(pathGbk), pathGbk}) {
        if (VelkFileExists(name))
            return !VelkIsDirectory(name);
    }
    return false;
}

} // namespace

COtherSettingDlg::COtherSettingDlg() : CVelkPropertyPage(IDD, "其他设置", QSize(449, 233))
{
    m_option.m_nSoundMode = 1;
    m_option.m_byPopup = 1;
}

COtherSettingDlg::~COtherSettingDlg() = default;

void COtherSettingDlg::BindSettings(CSettingsBinding& binding)
{
    AttachOption(&binding.options);
    SetCommitMark(&binding.bOptionsCommitted);
}

void COtherSettingDlg::AttachOption(Ta_OTHERALERT* pOption)
{
    m_pOption = pOption;
    if (!pOption)
        return;
    m_option.m_byPopup = pOption->m_byPopup;
    m_option.m_nSoundMode = pOption->m_nSoundMode;
    // A record read from a damaged file may lack its terminator.
    VelkCopyText(m_option.m_szWavePath, VelkFieldText(pOption->m_szWavePath));
}

void COtherSettingDlg::CreateControls()
{
    m_pForm = std::make_unique<Ui::COtherSettingDlgForm>();
    m_pForm->setupUi(this);
}

bool COtherSettingDlg::OnInitDialog()
{
    CVelkPropertyPage::OnInitDialog();
    for (int i = 0; i < 3; ++i)
        OnCommand(kSoundButtons[i], [this, i] { OnSoundMode(i); });
    OnCommand(kBrowseButton, [this] { OnBrowse(); });
    OnCommand(kPopupCheck, [this] { UpdateData(true); });
    OnCommand(kTestButton, [this] { OnTest(); });

    m_nSound = m_option.m_nSoundMode;
    m_strPath = VelkFieldText(m_option.m_szWavePath);
    m_bPopup = m_option.m_byPopup;
    UpdateData(false);
    UpdateControls();
    return true;
}

void COtherSettingDlg::DoDataExchange(bool bSaveAndValidate)
{
    m_btnTest = qobject_cast<QPushButton*>(Control(kTestButton));
    m_btnBrowse = qobject_cast<QPushButton*>(Control(kBrowseButton));
    m_editPath = qobject_cast<QLineEdit*>(Control(kPathBox));
    auto* popup = qobject_cast<QCheckBox*>(Control(kPopupCheck));
    QRadioButton* radios[3];
    for (int i = 0; i < 3; ++i)
        radios[i] = qobject_cast<QRadioButton*>(Control(kSoundButtons[i]));
    if (!m_editPath || !popup || !radios[0] || !radios[1] || !radios[2])
        return;

    if (bSaveAndValidate) {
        m_nSound = -1;
        for (int i = 0; i < 3; ++i) {
            if (radios[i]->isChecked())
                m_nSound = i;
        }
        m_strPath = VelkToGbk(m_editPath->text());
        m_bPopup = popup->isChecked() ? 1 : 0;
        return;
    }
    // Buttons of an exclusive group cannot all be cleared; a mode outside 0..2 shows none set.
    for (QRadioButton* radio : radios)
        radio->setAutoExclusive(false);
    for (int i = 0; i < 3; ++i)
        radios[i]->setChecked(i == m_nSound);
    for (QRadioButton* radio : radios)
        radio->setAutoExclusive(true);
    m_editPath->setText(VelkFromGbk(m_strPath));
    popup->setChecked(m_bPopup != 0);
}

void COtherSettingDlg::UpdateControls()
{
    const bool wave = m_nSound == kWaveMode;
    for (int id : {kPathBox, kBrowseButton, kTestButton}) {
        if (QWidget* control = Control(id))
            control->setEnabled(wave);
    }
    SetModified();
}

void COtherSettingDlg::OnSoundMode(int nMode)
{
    m_nSound = nMode;
    UpdateControls();
}

void COtherSettingDlg::OnBrowse()
{
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("Sound Files (*.wav)"));
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QStringList files = dialog.selectedFiles();
    if (!files.isEmpty() && m_editPath)
        m_editPath->setText(QDir::toNativeSeparators(files.front()));
}

void COtherSettingDlg::OnTest()
{
    UpdateData(true);
    if (!WaveFileAccessible(m_strPath)) {
        VelkMessageBoxService().Show(Gbk("声音文件的路径不可访问!"), Gbk("警告"),
                                     VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
        return;
    }
    // The test waits for the end of its sound, unlike an alert.
    IVelkSound* sound = VelkRegisteredServices().pSound;
    auto* queued = dynamic_cast<CQueuedSound*>(sound);
    if (!sound ||
        !(queued ? queued->PlayWaveFileAndWait(m_strPath) : sound->PlayWaveFile(m_strPath)))
        return;
    VelkMessageBoxService().Show(Gbk("你听到声音了吗?"), Gbk("信息"),
                                 VelkMsgBox::kYesNo | VelkMsgBox::kIconInformation);
}

void COtherSettingDlg::Commit()
{
    // Before its window the page holds no values of its own, only the constructor's.
    if (!HasWindow())
        return;
    // The members follow the controls at the commit, whichever tab is showing.
    UpdateData(true);
    // Cut after the last whole character that fits: half a character at the end would leave a
    // path that names no file at all.
    VelkCopyText(m_option.m_szWavePath, TextCodec::CutGbk(m_strPath, kPathMax));
    m_option.m_nSoundMode = m_nSound;
    m_option.m_byPopup = m_bPopup == 1 ? 1 : 0;
    if (!m_pOption)
        return;
    m_pOption->m_nSoundMode = m_option.m_nSoundMode;
    std::memcpy(m_pOption->m_szWavePath, m_option.m_szWavePath, sizeof m_option.m_szWavePath);
    m_pOption->m_byPopup = m_option.m_byPopup;
}

void COtherSettingDlg::OnOK()
{
    Commit();
    CVelkPropertyPage::OnOK();
}

VELK_IMPLEMENT_DYNCREATE(COtherSettingDlg)
