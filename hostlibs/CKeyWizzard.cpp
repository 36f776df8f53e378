#include <QHideEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <algorithm>
#include <cstring>
#include <vector>

#include "hostapi/KQBkApi.h"
#include "hostapi/KQDialog.h"
#include "hostapi/QuoteItems.h"
#include "hostlibs/CPinyinIndex.h"
#include "platform/qt/QtText.h"
#include "ui_IDD_KEYWIZZARD_8057.h"

namespace {

// A text field of a table entry, read without trusting its terminator.
std::string FieldText(const char* field, std::size_t width)
{
    return std::string(field, strnlen(field, width));
}

constexpr int kPageStep = 10;

// The initials the quote service holds for a candidate "code.ext" (a live source may send them
// with its symbols), or empty.
std::string GivenInitials(const std::string& candidate)
{
    const std::size_t dot = candidate.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return {};
    const unsigned char market = BK_byGetServiceIDByExName(candidate.substr(dot + 1));
    if (market == 0)
        return {};
    static const std::vector<unsigned short> items = {QuoteItem::kPinyin};
    std::vector<X1Format> values;
    if (!BK_bGetItemDataByItemNo(market, candidate.substr(0, dot), items, values, false, nullptr) ||
        values.empty() || values[0].GetKind() != X1Format::kText)
        return {};
    return CString(values[0]);
}

} // namespace

struct CKeyWizzard::Impl {
    // Which table and entry each indexed candidate came from.
    struct Source {
        std::size_t table;
        std::uint32_t item;
    };

    Ui::CKeyWizzardForm ui;
    QWidget* pParent = nullptr;
    bool bCreated = false;
    bool bHasPos = false;
    QPoint pos;
    CString strSysPath;
    std::vector<TaKeyRegisterTable*> tables;
    std::vector<Source> sources;
    CPinyinIndex index;
    std::vector<std::uint32_t> shown;

    // The entry behind a candidate, or null when its table or array has gone.
    const TaKeyRegisterItem* Entry(std::uint32_t candidate) const
    {
        if (candidate >= sources.size())
            return nullptr;
        const Source& s = sources[candidate];
        const TaKeyRegisterTable* table = tables[s.table];
        TaKeyRegisterItem* items = KQ_pGetKeyItems(table->pItems);
        if (!items || s.item >= table->nCount || s.item >= KQ_nGetKeyItemCapacity(table->pItems))
            return nullptr;
        return items + s.item;
    }

    void RebuildIndex()
    {
        index.Clear();
        sources.clear();
        for (std::size_t t = 0; t < tables.size(); ++t) {
            const TaKeyRegisterTable* table = tables[t];
            const TaKeyRegisterItem* items = KQ_pGetKeyItems(table->pItems);
            if (!items)
                continue;
            const std::uint32_t count =
                std::min(table->nCount, KQ_nGetKeyItemCapacity(table->pItems));
            index.Reserve(index.Size() + count);
            for (std::uint32_t i = 0; i < count; ++i) {
                const std::string code = FieldText(items[i].szCode, sizeof items[i].szCode);
                const std::string name = FieldText(items[i].szName, sizeof items[i].szName);
                index.Add(code.c_str(), name.c_str(), GivenInitials(code).c_str());
                sources.push_back({t, i});
            }
        }
    }
};

CKeyWizzard::CKeyWizzard(QWidget* pParent) : QDialog(nullptr), m_pImpl(std::make_unique<Impl>())
{
    m_pImpl->pParent = pParent;
}

CKeyWizzard::~CKeyWizzard() = default;

bool CKeyWizzard::Create(QWidget* pParent)
{
    if (m_pImpl->bCreated)
        return false;
    if (pParent)
        m_pImpl->pParent = pParent;
    setParent(m_pImpl->pParent, Qt::Tool | Qt::FramelessWindowHint);
    m_pImpl->ui.setupUi(this);
    QLineEdit* edit = m_pImpl->ui.m_editInput;
    QListWidget* list = m_pImpl->ui.m_listCandidates;
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textChanged, this, [this] { OnInputEdited(); });
    connect(list, &QListWidget::itemDoubleClicked, this,
            [this, list](QListWidgetItem* item) { PickRow(list->row(item)); });
    if (m_pImpl->bHasPos)
        move(m_pImpl->pos);
    m_pImpl->bCreated = true;
    OnInitDialog();
    return true;
}

std::uint32_t CKeyWizzard::Init(const char* pszSysPath)
{
    m_pImpl->strSysPath = pszSysPath ? pszSysPath : "";
    return 1;
}

void CKeyWizzard::SetPosLT(int nLeft, int nTop, int /*nFlag*/)
{
    m_pImpl->pos = QPoint(nLeft, nTop);
    m_pImpl->bHasPos = true;
    if (m_pImpl->bCreated)
        move(m_pImpl->pos);
}

std::uint32_t CKeyWizzard::AddKeyTableReg(TaKeyRegisterTable* pTable)
{
    auto& tables = m_pImpl->tables;
    if (pTable && std::find(tables.begin(), tables.end(), pTable) == tables.end())
        tables.push_back(pTable);
    m_pImpl->RebuildIndex();
    return static_cast<std::uint32_t>(tables.size());
}

void CKeyWizzard::OnChangeEdit()
{
    m_pImpl->index.Match(m_strInput, kMaxShown, m_pImpl->shown);
    if (!m_pImpl->bCreated)
        return;
    QListWidget* list = m_pImpl->ui.m_listCandidates;
    list->setUpdatesEnabled(false);
    list->clear();
    const QString gap = QStringLiteral("  ");
    for (std::uint32_t candidate : m_pImpl->shown) {
        const TaKeyRegisterItem* entry = m_pImpl->Entry(candidate);
        QString text;
        if (entry) {
            text = VelkFromGbk(FieldText(entry->szCode, sizeof entry->szCode)) + gap +
                   VelkFromGbk(FieldText(entry->szName, sizeof entry->szName));
        }
        list->addItem(text);
    }
    if (list->count() > 0)
        list->setCurrentRow(0);
    list->setUpdatesEnabled(true);
}

bool CKeyWizzard::OnInitDialog()
{
    if (m_pImpl->bCreated)
        m_pImpl->ui.m_editInput->setFocus();
    return true;
}

void CKeyWizzard::OnOK()
{
    if (m_pImpl->bCreated)
        PickRow(m_pImpl->ui.m_listCandidates->currentRow());
}

void CKeyWizzard::OnCancel()
{
    hide();
}

bool CKeyWizzard::OnSelectCode(std::uint32_t /*nMsg*/, const char* /*pszCode*/)
{
    return false;
}

void CKeyWizzard::OnInputCheck()
{
    if (!m_strInput.empty())
        OnChangeEdit();
    else
        hide();
}

void CKeyWizzard::OnWizardEvent() {}

void CKeyWizzard::OnInputEdited()
{
    m_strInput = VelkToGbk(m_pImpl->ui.m_editInput->text());
    OnInputCheck();
}

void CKeyWizzard::PickRow(int row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_pImpl->shown.size())
        return;
    const std::uint32_t candidate = m_pImpl->shown[static_cast<std::size_t>(row)];
    const TaKeyRegisterItem* entry = m_pImpl->Entry(candidate);
    if (!entry)
        return;
    const std::string code = FieldText(entry->szCode, sizeof entry->szCode);
    const std::uint32_t msg = m_pImpl->tables[m_pImpl->sources[candidate].table]->nMsg;
    hide();
    OnSelectCode(msg, code.c_str());
}

bool CKeyWizzard::HandleNavigationKey(int key)
{
    QListWidget* list = m_pImpl->ui.m_listCandidates;
    const int last = list->count() - 1;
    const int row = list->currentRow();
    switch (key) {
    case Qt::Key_Up:
        if (last >= 0)
            list->setCurrentRow(std::max(0, row - 1));
        return true;
    case Qt::Key_Down:
        if (last >= 0)
            list->setCurrentRow(std::min(last, row + 1));
        return true;
    case Qt::Key_PageUp:
        if (last >= 0)
            list->setCurrentRow(std::max(0, row - kPageStep));
        return true;
    case Qt::Key_PageDown:
        if (last >= 0)
            list->setCurrentRow(std::min(last, row + kPageStep));
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        OnOK();
        return true;
    case Qt::Key_Escape:
        OnCancel();
        return true;
    default:
        return false;
    }
}

bool CKeyWizzard::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (m_pImpl->bCreated && pWatched == m_pImpl->ui.m_editInput &&
        pEvent->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(pEvent);
        if (!(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
            HandleNavigationKey(key->key()))
            return true;
    }
    return QDialog::eventFilter(pWatched, pEvent);
}

// Keys reach the window itself when the owner hands over the key that opened the wizard, or
// when the list has been clicked; printable ones go into the input box.
void CKeyWizzard::keyPressEvent(QKeyEvent* pEvent)
{
    if (!m_pImpl->bCreated) {
        QDialog::keyPressEvent(pEvent);
        return;
    }
    const bool chord = pEvent->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
    if (!chord && HandleNavigationKey(pEvent->key()))
        return;
    const QString text = pEvent->text();
    if (!chord && !text.isEmpty() && text.at(0).isPrint()) {
        m_pImpl->ui.m_editInput->setFocus();
        m_pImpl->ui.m_editInput->insert(text);
        return;
    }
    QDialog::keyPressEvent(pEvent);
}

// A wizard opened again starts from an empty input.
void CKeyWizzard::hideEvent(QHideEvent* pEvent)
{
    if (m_pImpl->bCreated) {
        const QSignalBlocker blocker(m_pImpl->ui.m_editInput);
        m_pImpl->ui.m_editInput->clear();
        m_pImpl->ui.m_listCandidates->clear();
    }
    m_strInput.clear();
    m_pImpl->shown.clear();
    QDialog::hideEvent(pEvent);
}

void CKeyWizzard::accept()
{
    OnOK();
}

void CKeyWizzard::reject()
{
    OnCancel();
}
