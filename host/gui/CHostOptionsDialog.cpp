#include "host/gui/CHostOptionsDialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "host/gui/CHostPrompt.h"
#include "host/gui/COutputsPage.h"
#include "host/gui/HostSettingKeys.h"
#include "host/outputs/COutputSettings.h"

CHostOptionsDialog::CHostOptionsDialog(QSettings& settings, CSecretStore& secrets,
                                       CAutostartEntry autostart, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_autostart(std::move(autostart))
{
    setWindowTitle(tr("通知与输出设置"));
    auto* tabs = new QTabWidget(this);

    auto* general = new QWidget(tabs);
    m_pCloseToTray = new QCheckBox(tr("关闭窗口时最小化到托盘"), general);
    m_pStartMinimised = new QCheckBox(tr("启动时最小化"), general);
    m_pStartAtLogin = new QCheckBox(tr("登录时启动"), general);
    m_pRetention = new QSpinBox(general);
    m_pRetention->setRange(0, 36500);
    m_pRetention->setSuffix(tr(" 天"));
    m_pRetention->setSpecialValueText(tr("永久保留"));
    auto* form = new QFormLayout(general);
    form->addRow(m_pCloseToTray);
    form->addRow(m_pStartMinimised);
    form->addRow(m_pStartAtLogin);
    form->addRow(tr("报警历史保留"), m_pRetention);
    form->addRow(new QLabel(tr("更早的报警在下次启动时删除。"), general));

    m_pOutputs = new COutputsPage(settings, secrets, tabs);
    tabs->addTab(general, tr("常规"));
    tabs->addTab(m_pOutputs, tr("输出"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(new QLabel(tr("输出的改动在下次启动时生效。"), this));
    layout->addWidget(buttons);

    m_pCloseToTray->setChecked(HostSettings::kCloseToTray.Read(&settings));
    m_pStartMinimised->setChecked(HostSettings::kStartMinimised.Read(&settings));
    // The entry on disk is what starts the program, whatever the settings remember.
    m_pStartAtLogin->setChecked(m_autostart.IsInstalled());
    m_pRetention->setValue(COutputSettings::RetentionDays(settings));
    resize(720, 460);
}

bool CHostOptionsDialog::Save(QString* error)
{
    const bool atLogin = m_pStartAtLogin->isChecked();
    if (atLogin != m_autostart.IsInstalled()) {
        const bool done = atLogin
                              ? m_autostart.Install(QCoreApplication::applicationFilePath(), error)
                              : m_autostart.Remove(error);
        if (!done)
            return false;
    }
    HostSettings::kStartAtLogin.Write(&m_settings, atLogin);
    HostSettings::kCloseToTray.Write(&m_settings, m_pCloseToTray->isChecked());
    HostSettings::kStartMinimised.Write(&m_settings, m_pStartMinimised->isChecked());
    COutputSettings::SetRetentionDays(m_settings, m_pRetention->value());
    return m_pOutputs->Save(error);
}

void CHostOptionsDialog::accept()
{
    QString error;
    if (!Save(&error)) {
        CHostPrompt::Prompt().Warn(this, error);
        return;
    }
    QDialog::accept();
}
