#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "engine/CMarketMonitorSettings.h"
#include "engine/VelkRecords.h"
#include "engine/VelkServices.h"

class CDaySession;
class CDesktopMainWindow;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPlainTextEdit;
class QSpinBox;

// 盘中异动设置: the market monitor's master switch, the six thresholds of the ratio settings
// with their check boxes, the data each rule needs and whether the open day has it, and the
// noise controls of every alert reason; 试运行 tries the drafted settings on the open day before
// anything is saved. OK stores the thresholds in alert.cfg and the rest in MarketMonitor.cfg
// and puts them in force in the running engine.
class CMarketMonitorDialog final : public QDialog {
    Q_OBJECT
public:
    explicit CMarketMonitorDialog(CDaySession& session, QWidget* parent = nullptr);

    // The thresholds as the alert setting page holds them; false (told, the field focused) when
    // the page refuses a value.
    bool DraftRatios(Ta_ALERTSETTING& draft) const;
    CMarketMonitorSettings DraftSettings() const;
    // The dry run on the open day; its report is shown below the controls.
    void RunDryRun();
    QString DryRunReport() const;
    // Saves and applies; false (with a message) when the page refused a value or a file could
    // not be written.
    bool Save();

    // The menu entry 盘中异动设置 and the board's 今日静音 of a main window.
    static void Install(CDesktopMainWindow& window);

    void accept() override;

private:
    void Fill();
    Ta_ALERTSETTING StoredRatios() const;

    CDaySession& m_session;
    Ta_ALERTSETTING m_stored{};
    CMarketMonitorSettings m_settings;
    QCheckBox* m_pEnabled = nullptr;
    // The alert setting page's own controls; null in a build without the page.
    std::unique_ptr<IAlertSettingPane> m_pRatioPane;
    std::array<QComboBox*, CMarketMonitorSettings::kReasonCount> m_repeat{};
    std::array<QSpinBox*, CMarketMonitorSettings::kReasonCount> m_cooldown{};
    QDoubleSpinBox* m_pHighStep = nullptr;
    QDoubleSpinBox* m_pLowStep = nullptr;
    QLabel* m_pData = nullptr;
    QPlainTextEdit* m_pReport = nullptr;
};
