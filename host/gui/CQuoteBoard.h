#pragma once

#include <QByteArray>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "host/gui/CQuoteBoardProxy.h"

class CBoardKeyWizzard;
class CTextWidthBound;
class CQuoteBoardModel;
class QLineEdit;
class QSettings;
class QTabBar;
class QTableView;

// The quote board: every stock of the day on a dark board, sortable by any column and
// filtered by code or name; a tab per self-selected group of the user beside 全部 (all). Columns
// are as wide as the widest figure they have shown, so no figure is ever cut short; the board
// scrolls sideways instead. Typing a code or the initials of a name on the board opens the
// keyboard wizard, whose pick jumps to the stock. The context menu adds the stock to the
// monitored list or opens its chart; a double click or Enter opens the chart as well.
class CQuoteBoard final : public QWidget {
    Q_OBJECT
public:
    explicit CQuoteBoard(QWidget* parent = nullptr);
    ~CQuoteBoard() override;

    CQuoteBoardModel* Model() const { return m_pModel; }
    CQuoteBoardProxy* Proxy() const { return m_pProxy; }
    QTableView* View() const { return m_pView; }
    QLineEdit* FilterEdit() const { return m_pFilter; }
    // Tab 0 is the whole board, tab i the model's group i - 1.
    QTabBar* GroupTabs() const { return m_pGroups; }

    // Restores the sort, the filter and the group from the settings and keeps them there as
    // the user changes them. Null keeps nothing.
    void UseSettings(QSettings* settings);
    // Null until the first key opened it.
    CBoardKeyWizzard* Wizard() const { return m_pWizard.get(); }

    // Selects the stock's row, clearing a filter that hides it; false when the board does not
    // list the stock.
    bool JumpTo(unsigned char market, const std::string& code);
    // Shows the whole board (index 0) or the model's group index - 1.
    void ShowGroup(int index);
    // The stock of the current row; false when there is none.
    bool CurrentStock(unsigned char& market, std::string& code) const;
    // The columns are still being fitted to the rows of the last load (a slice a turn).
    bool IsFittingColumns() const { return m_fitTimer.isActive(); }

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
    void RebuildGroupTabs();
    // Widens the columns to the texts of the source rows first..last; FitAllColumns starts from
    // the headers. Measuring a whole market's texts takes longer than a window may stay deaf,
    // so FitAllColumns measures the first slice of rows at once and the rest a slice at each
    // turn of the event loop (FitNextSlice).
    // Only the columns firstColumn..lastColumn are widened.
    void FitRows(int first, int last, int firstColumn, int lastColumn);
    // The same for the given source rows.
    void FitRowList(const std::vector<int>& rows, int firstColumn, int lastColumn);
    void FitAllColumns();
    void FitNextSlice();
    void SaveSort() const;

    CQuoteBoardModel* m_pModel = nullptr;
    CQuoteBoardProxy* m_pProxy = nullptr;
    QTabBar* m_pGroups = nullptr;
    QSettings* m_pSettings = nullptr;
    bool m_bRestoring = false;
    QTableView* m_pView = nullptr;
    QLineEdit* m_pFilter = nullptr;
    std::unique_ptr<CBoardKeyWizzard> m_pWizard;
    std::unique_ptr<CTextWidthBound> m_pWidthBound; // of the view's font
    QTimer m_fitTimer;
    // The first source row FitNextSlice has yet to measure.
    int m_nFitNext = 0;
};
