#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "engine/VelkRecords.h"

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
    CAlertListDlg(CAlertRecordList* alerts, std::vector<Ta_VELKPRICEALERT>* prices,
                  QWidget* owner = nullptr);
    ~CAlertListDlg() override;

    // The record is already at the front of the engine's list. Its row goes on top within a
    // frame, together with every other alert of that frame, and is painted with them.
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
    QTimer m_newRowsTimer;
    CAlertRecordList* m_pAlerts = nullptr;
    std::vector<Ta_VELKPRICEALERT>* m_pPrices = nullptr;
    // The day file as it was read when the window was created.
    std::string m_strLoadedDay;
};
