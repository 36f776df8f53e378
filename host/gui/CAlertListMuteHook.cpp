#include "host/gui/CAlertListMuteHook.h"

#include <QAbstractItemModel>
#include <QContextMenuEvent>
#include <QDialog>
#include <QMenu>
#include <QTableView>
#include <QTimer>

#include "engine/CMarketMonitor.h"
#include "engine/CVelkAlert.h"
#include "platform/core/VelkClockText.h"
#include "platform/qt/MessageBoxService.h"
#include "platform/qt/QtText.h"

namespace {

// The alert list window's template and its list control.
constexpr int kAlertListTemplate = 213;
constexpr int kAlertListControl = 1108;
constexpr const char* kHookedProperty = "velkHostMuteHook";

enum Column { kName = 0, kTime = 1, kReason = 4 };

} // namespace

CAlertListMuteHook::CAlertListMuteHook(QWidget* mainWindow, EngineGetter engine)
    : QObject(mainWindow), m_pMainWindow(mainWindow), m_engine(std::move(engine))
{
    // The module makes its window as a child of the main window on the first alert or showing.
    m_pMainWindow->installEventFilter(this);
    HookWindows();
}

void CAlertListMuteHook::HookWindows()
{
    for (QDialog* window : m_pMainWindow->findChildren<QDialog*>(Qt::FindDirectChildrenOnly)) {
        if (window->property("controlId").toInt() != kAlertListTemplate)
            continue;
        for (QTableView* list : window->findChildren<QTableView*>()) {
            if (list->property("controlId").toInt() != kAlertListControl ||
                list->property(kHookedProperty).toBool())
                continue;
            list->setProperty(kHookedProperty, true);
            list->viewport()->installEventFilter(this);
        }
    }
}

bool CAlertListMuteHook::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pMainWindow) {
        // The window's controls exist only once its constructor has run: look on the next turn.
        if (event->type() == QEvent::ChildAdded)
            QTimer::singleShot(0, this, &CAlertListMuteHook::HookWindows);
        return false;
    }
    if (event->type() != QEvent::ContextMenu)
        return false;
    auto* viewport = qobject_cast<QWidget*>(watched);
    auto* list = viewport ? qobject_cast<QTableView*>(viewport->parentWidget()) : nullptr;
    if (!list)
        return false;
    ShowMenu(list, static_cast<QContextMenuEvent*>(event)->pos());
    return true;
}

bool CAlertListMuteHook::StockOfRow(const CVelkAlert& engine, const QTableView& list, int row,
                                    unsigned char& market, std::string& code)
{
    const QAbstractItemModel* model = list.model();
    if (!model || row < 0 || row >= model->rowCount())
        return false;
    const QString name = model->index(row, kName).data().toString();
    const QString time = model->index(row, kTime).data().toString();
    const QString reason = model->index(row, kReason).data().toString();
    // Rows and records share their order once the window has sorted the list; rows of the
    // latest alerts may still be on their way, so the search starts at the row and goes round.
    const CAlertRecordList& records = engine.GetAlertRecords();
    const std::size_t count = records.size();
    for (std::size_t n = 0; n < count; ++n) {
        const Ta_ALERTRECORD& record = records[(static_cast<std::size_t>(row) + n) % count];
        if (QString::fromStdString(VelkClockText(record.m_nTime)) == time &&
            VelkFromGbk(VelkFieldText(record.m_szName)) == name &&
            VelkFromGbk(VelkFieldText(record.m_szReason)) == reason) {
            market = record.m_byMarket;
            code = VelkFieldText(record.m_szCode);
            return !code.empty();
        }
    }
    return false;
}

void CAlertListMuteHook::ShowMenu(QTableView* list, const QPoint& pos)
{
    const int row = list->indexAt(pos).row();
    CVelkAlert* engine = m_engine ? m_engine() : nullptr;
    unsigned char market = 0;
    std::string code;
    if (row < 0 || !engine || !StockOfRow(*engine, *list, row, market, code))
        return;
    list->selectRow(row);
    QMenu menu(list);
    QAction* mute = menu.addAction(tr("今日静音"));
    mute->setObjectName(QStringLiteral("actionMuteForDay"));
    mute->setEnabled(!engine->GetMarketMonitor().IsMutedToday(market, code));
    connect(mute, &QAction::triggered, this, [this, market, code] {
        // The day may have ended while the menu was open.
        CVelkAlert* current = m_engine ? m_engine() : nullptr;
        if (current && !current->MuteStockForDay(market, code))
            VelkMessageBoxService().Show(
                VelkToGbk(tr("静音已生效，但无法保存到 MarketMonitor.cfg。")),
                VelkToGbk(tr("警告")), VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
    });
    menu.exec(list->viewport()->mapToGlobal(pos));
}
