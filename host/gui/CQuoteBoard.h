#pragma once

#include <QByteArray>
#include <QWidget>
#include <memory>
#include <string>

class CBoardKeyWizzard;
class CQuoteBoardModel;
class QLineEdit;
class QSortFilterProxyModel;
class QTableView;

// The quote board: every stock of the day on a dark board, sortable by any column and
// filtered by code or name. Typing a code or the initials of a name on the board opens the
// keyboard wizard, whose pick jumps to the stock. The context menu adds the stock to the
// monitored list or opens its chart; a double click or Enter opens the chart as well.
class CQuoteBoard final : public QWidget {
    Q_OBJECT
public:
    explicit CQuoteBoard(QWidget* parent = nullptr);
    ~CQuoteBoard() override;

    CQuoteBoardModel* Model() const { return m_pModel; }
    QSortFilterProxyModel* Proxy() const { return m_pProxy; }
    QTableView* View() const { return m_pView; }
    QLineEdit* FilterEdit() const { return m_pFilter; }
    // Null until the first key opened it.
    CBoardKeyWizzard* Wizard() const { return m_pWizard.get(); }

    // Selects the stock's row, clearing a filter that hides it; false when the board does not
    // list the stock.
    bool JumpTo(unsigned char market, const std::string& code);
    // The stock of the current row; false when there is none.
    bool CurrentStock(unsigned char& market, std::string& code) const;

Q_SIGNALS:
    // Codes are GBK bytes, as the engine takes them.
    void AddToMonitorRequested(unsigned char market, const QByteArray& code);
    void ChartRequested(unsigned char market, const QByteArray& code);
    // The user silences the stock for the rest of the trading day.
    void MuteRequested(unsigned char market, const QByteArray& code);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowContextMenu(const QPoint& pos);
    void RequestChartOfCurrent();

    CQuoteBoardModel* m_pModel = nullptr;
    QSortFilterProxyModel* m_pProxy = nullptr;
    QTableView* m_pView = nullptr;
    QLineEdit* m_pFilter = nullptr;
    std::unique_ptr<CBoardKeyWizzard> m_pWizard;
};
