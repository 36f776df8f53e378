#pragma once

#include <QDialog>
#include <array>

#include "engine/CMarketMonitorSettings.h"
#include "engine/VelkRecords.h"

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

    Ta_ALERTSETTING DraftRatios() const;
    CMarketMonitorSettings DraftSettings() const;
    // The dry run on the open day; its report is shown below the controls.
    void RunDryRun();
    QString DryRunReport() const;
    // Saves and applies; false (with a message) when a file could not be written.
    bool Save();

    // The menu entry 盘中异动设置 and the board's 今日静音 of a main window.
    static void Install(CDesktopMainWindow& window);

    void accept() override;

private:
    void Fill();

    CDaySession& m_session;
    Ta_ALERTSETTING m_stored{};
    CMarketMonitorSettings m_settings;
    QCheckBox* m_pEnabled = nullptr;
    std::array<QCheckBox*, 6> m_ratioOn{};
    std::array<QDoubleSpinBox*, 6> m_ratio{};
    std::array<QComboBox*, CMarketMonitorSettings::kReasonCount> m_repeat{};
    std::array<QSpinBox*, CMarketMonitorSettings::kReasonCount> m_cooldown{};
    QDoubleSpinBox* m_pHighStep = nullptr;
    QDoubleSpinBox* m_pLowStep = nullptr;
    QLabel* m_pData = nullptr;
    QPlainTextEdit* m_pReport = nullptr;
};
