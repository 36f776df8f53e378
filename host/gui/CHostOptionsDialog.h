#pragma once

#include <QDialog>

#include "host/gui/CAutostartEntry.h"

class COutputsPage;
class CSecretStore;
class QCheckBox;
class QSettings;
class QSpinBox;

// 通知与输出设置: the tray and start-up options (close to tray, start minimised, start at
// login), how many days the alert history keeps, and the outputs page. OK writes the settings,
// the autostart entry and the secrets.
class CHostOptionsDialog final : public QDialog {
    Q_OBJECT
public:
    CHostOptionsDialog(QSettings& settings, CSecretStore& secrets,
                       CAutostartEntry autostart = CAutostartEntry(), QWidget* parent = nullptr);

    // Writes what the dialog shows; false with the reason in error (the dialog stays open).
    bool Save(QString* error = nullptr);
    void accept() override;

    QCheckBox* CloseToTrayBox() const { return m_pCloseToTray; }
    QCheckBox* StartMinimisedBox() const { return m_pStartMinimised; }
    QCheckBox* StartAtLoginBox() const { return m_pStartAtLogin; }
    QSpinBox* RetentionBox() const { return m_pRetention; }
    COutputsPage* OutputsPage() const { return m_pOutputs; }

private:
    QSettings& m_settings;
    CAutostartEntry m_autostart;
    QCheckBox* m_pCloseToTray = nullptr;
    QCheckBox* m_pStartMinimised = nullptr;
    QCheckBox* m_pStartAtLogin = nullptr;
    QSpinBox* m_pRetention = nullptr;
    COutputsPage* m_pOutputs = nullptr;
};
