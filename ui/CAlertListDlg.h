#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "VelkRecords.h"

class CAlertListModel;
class CXPButton;
class QPixmap;
class QTableView;
namespace Ui {
class CAlertListDlgForm;
}

// The modeless alert list window "报警列表": the engine's alerts, newest first. It reads the
// day's alert file when it is created and writes the engine's whole alert list back to it when
// it is destroyed, so that the alerts of the trading day survive a restart of the host.
class CAlertListDlg final : public QDialog {
    Q_OBJECT
public:
    // The lists belong to the engine; the window reads, sorts, extends and empties them in place.
    CAlertListDlg(std::vector<Ta_ALERTRECORD>* alerts, std::vector<Ta_VELKPRICEALERT>* prices,
                  QWidget* owner = nullptr);
    ~CAlertListDlg() override;

    void InsertAlertItem(const Ta_ALERTRECORD& record);
    void FillAlertList();
    void ClearAlertList();

    // "../Dat/Alert/YYYYMMDD.alt" for the trading date the quote service reports.
    static std::string DayFilePath();

    // Bitmap 134, the list's 16-pixel image strip, with its mask colour transparent.
    static QPixmap LoadImageStrip();

    QTableView* ListControl() const;
    CAlertListModel* Model() const { return m_pModel; }
    // The control with the given id of the dialog template, or null.
    QWidget* Control(int controlId) const;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetupList();
    void LoadAlertFile();
    void SaveAlertFile();
    void SizeListToRows();
    void OnAnalyse();
    void OnSettings();
    void AnalyseRow(int row);

    std::unique_ptr<Ui::CAlertListDlgForm> m_pForm;
    CAlertListModel* m_pModel = nullptr;
    std::vector<Ta_ALERTRECORD>* m_pAlerts = nullptr;
    std::vector<Ta_VELKPRICEALERT>* m_pPrices = nullptr;
};
