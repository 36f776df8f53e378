#pragma once

#include <QDate>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "host/outputs/CAlertHistory.h"

class CBoardKeyWizzard;
class CHistoryModel;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QSortFilterProxyModel;
class QTableView;

// 历史报警: the alerts the history keeps, filtered by a date range, a stock (picked with the
// keyboard wizard, as on the quote board), a reason and the source (live or replay); sortable
// by every column. A double-click asks for the stock's chart at the alert's moment; the rows
// shown can be saved as CSV or JSON.
class CHistoryWindow final : public QWidget {
    Q_OBJECT
public:
    using Clock = std::function<QDate()>;

    explicit CHistoryWindow(CAlertHistory& history, QWidget* parent = nullptr, Clock today = {});
    ~CHistoryWindow() override;

    // The filter as the controls say.
    CAlertHistory::Filter CurrentFilter() const;
    void SetDateRange(const QDate& from, const QDate& to);
    void ClearDateRange();
    // The stock filter, as a pick of the wizard sets it; an empty code takes the filter off.
    void SetStock(unsigned char market, const std::string& code);
    // A reason code of the table, -1 for any.
    void SetReason(int reasonCode);
    // A reason outside the table (a signal's name), once a reload has shown it.
    void SetReason(const QString& text);
    // "live", "replay", or empty for both.
    void SetSource(const std::string& source);

    // Reads the rows anew; a failure is shown in the window and returned false.
    bool Reload();
    // The rows shown, in the order shown.
    std::vector<CAlertHistory::Row> ShownRows() const;
    bool ExportCsv(const QString& path, QString* error = nullptr) const;
    bool ExportJson(const QString& path, QString* error = nullptr) const;

    QTableView* View() const { return m_pView; }
    QLineEdit* StockEdit() const { return m_pStock; }
    CBoardKeyWizzard* Wizard() const { return m_pWizard.get(); }
    QString StatusText() const;

    // The window shows the newest rows the filter takes, this many at most: a whole market
    // watched for weeks keeps millions, which would take the window seconds and gigabytes to
    // show. The status line tells when older rows were left out.
    static constexpr std::size_t kRowLimit = 100000;
    void SetRowLimit(std::size_t limit) { m_nRowLimit = limit; }

Q_SIGNALS:
    // tradingDate yyyymmdd, time seconds since midnight.
    void ChartRequested(unsigned char market, const QString& code, int tradingDate, int time,
                        const QString& dayFolder);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ChooseExport(bool csv);
    bool WriteFile(const QString& path, const std::string& content, QString* error) const;
    void OnActivated(const QModelIndex& index);

    CAlertHistory& m_history;
    Clock m_today;
    std::size_t m_nRowLimit = kRowLimit;
    CHistoryModel* m_pModel = nullptr;
    QSortFilterProxyModel* m_pSorted = nullptr;
    QTableView* m_pView = nullptr;
    QCheckBox* m_pDateOn = nullptr;
    QDateEdit* m_pFrom = nullptr;
    QDateEdit* m_pTo = nullptr;
    QLineEdit* m_pStock = nullptr;
    std::string m_strCode;
    QComboBox* m_pReason = nullptr;
    QComboBox* m_pSource = nullptr;
    QLabel* m_pStatus = nullptr;
    std::unique_ptr<CBoardKeyWizzard> m_pWizard;
};
