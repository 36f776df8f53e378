#include "ui/CSelectStockDlg.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

#include "hostapi/KQBkApi.h"
#include "hostapi/KQDaApi.h"
#include "platform/qt/MessageBoxService.h"
#include "platform/qt/QtText.h"
#include "platform/qt/RegisteredMessages.h"
#include "platform/qt/ResourceSwitch.h"
#include "ui/CSelectStockEvent.h"
#include "ui/CStockKeyWizzard.h"
#include "ui/VelkDataExchange.h"
#include "ui/VelkUserGroups.h"
#include "ui_IDD_SELECTSTOCK_180.h"

namespace {

constexpr int kCodeBox = 1113;
constexpr int kNameStatic = 1114;
constexpr int kUpperBox = 1101;
constexpr int kLowerBox = 1102;
constexpr int kCodeLabel = 12021;
constexpr int kPreCloseStatic = 12019;
constexpr float kPriceMin = 0.0f;
constexpr float kPriceMax = 9999.0f;

int InputChangeMessage()
{
    return VelkRegisterWindowMessage("KQMSG_INPUTCHANGESMYOL");
}

int InputCommandMessage()
{
    return VelkRegisterWindowMessage("KQMSG_INPUTCOMMAND");
}

std::string Gbk(const char* utf8)
{
    return VelkToGbk(VelkFromUtf8(utf8));
}

// The caption of the index refusal, as of the framework's own messages.
std::string ApplicationCaption()
{
    return VelkToGbk(QGuiApplication::applicationDisplayName());
}

void Warn(const char* utf8Text)
{
    VelkMessageBoxService().Show(Gbk(utf8Text), Gbk("警告"),
                                 VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
}

// The platform's virtual-key code of a Qt key, which decides what the code box does with it.
int VirtualKey(const QKeyEvent& e)
{
    const int key = e.key();
    if (e.modifiers() & Qt::KeypadModifier) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9)
            return 0x60 + (key - Qt::Key_0);
        switch (key) {
        case Qt::Key_Asterisk:
            return 0x6A;
        case Qt::Key_Plus:
            return 0x6B;
        case Qt::Key_Minus:
            return 0x6D;
        case Qt::Key_Period:
            return 0x6E;
        case Qt::Key_Slash:
            return 0x6F;
        default:
            break;
        }
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return 0x30 + (key - Qt::Key_0);
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return 0x41 + (key - Qt::Key_A);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 0x70 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace:
        return 0x08;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 0x09;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 0x0D;
    case Qt::Key_Shift:
        return 0x10;
    case Qt::Key_Control:
        return 0x11;
    case Qt::Key_Alt:
        return 0x12;
    case Qt::Key_Pause:
        return 0x13;
    case Qt::Key_CapsLock:
        return 0x14;
    case Qt::Key_Escape:
        return 0x1B;
    case Qt::Key_Space:
        return 0x20;
    case Qt::Key_PageUp:
        return 0x21;
    case Qt::Key_PageDown:
        return 0x22;
    case Qt::Key_End:
        return 0x23;
    case Qt::Key_Home:
        return 0x24;
    case Qt::Key_Left:
        return 0x25;
    case Qt::Key_Up:
        return 0x26;
    case Qt::Key_Right:
        return 0x27;
    case Qt::Key_Down:
        return 0x28;
    case Qt::Key_Print:
        return 0x2C;
    case Qt::Key_Insert:
        return 0x2D;
    case Qt::Key_Delete:
        return 0x2E;
    case Qt::Key_Meta:
        return 0x5B;
    case Qt::Key_Menu:
        return 0x5D;
    case Qt::Key_NumLock:
        return 0x90;
    case Qt::Key_ScrollLock:
        return 0x91;
    case Qt::Key_Semicolon:
        return 0xBA;
    case Qt::Key_Equal:
        return 0xBB;
    case Qt::Key_Comma:
        return 0xBC;
    case Qt::Key_Minus:
        return 0xBD;
    case Qt::Key_Period:
        return 0xBE;
    case Qt::Key_Slash:
        return 0xBF;
    case Qt::Key_QuoteLeft:
        return 0xC0;
    case Qt::Key_BracketLeft:
        return 0xDB;
    case Qt::Key_Backslash:
        return 0xDC;
    case Qt::Key_BracketRight:
        return 0xDD;
    case Qt::Key_Apostrophe:
        return 0xDE;
    default:
        return 0;
    }
}

// The low byte of the key code is compared as a signed byte, so codes from 0x80 up never open
// the wizard.
bool IsWizardKey(int virtualKey)
{
    const auto k = static_cast<signed char>(virtualKey & 0xFF);
    return (k >= 0x30 && k <= 0x39) || (k >= 0x41 && k <= 0x5A) || (k >= 0x61 && k <= 0x7A) ||
           k == 0x2A || k == 0x3F || k == 0x60;
}

std::string FixedText(const char* field, std::size_t width)
{
    return std::string(field, strnlen(field, width));
}

} // namespace

CSelectStockDlg::CSelectStockDlg(QWidget* pParent)
    : QDialog(pParent), m_pForm(std::make_unique<Ui::CSelectStockDlgForm>())
{
    m_pForm->setupUi(this);
    // The controls sit where the template puts them; a larger window would only add empty space.
    setFixedSize(size());
    QLineEdit* code = m_pForm->m_editCode;
    // Keys never reach the box, and nothing may paste or drop text into it either.
    code->setReadOnly(true);
    code->setContextMenuPolicy(Qt::NoContextMenu);
    code->setAcceptDrops(false);
    code->installEventFilter(this);
    connect(m_pForm->m_btnOK, &QPushButton::clicked, this, [this] { accept(); });
    connect(m_pForm->m_btnCancel, &QPushButton::clicked, this, [this] { reject(); });
}

CSelectStockDlg::~CSelectStockDlg()
{
    delete m_pWizard;
}

int CSelectStockDlg::DoModal()
{
    const CResourceSwitch resources;
    return exec() == QDialog::Accepted ? 1 : 2;
}

QWidget* CSelectStockDlg::Control(int controlId) const
{
    for (QWidget* w : findChildren<QWidget*>()) {
        if (w->property("controlId").toInt() == controlId && w->window() == this)
            return w;
    }
    return nullptr;
}

QLineEdit* CSelectStockDlg::Edit(int controlId) const
{
    return qobject_cast<QLineEdit*>(Control(controlId));
}

QLabel* CSelectStockDlg::Label(int controlId) const
{
    return qobject_cast<QLabel*>(Control(controlId));
}

void CSelectStockDlg::showEvent(QShowEvent* pEvent)
{
    if (!m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
    }
    QDialog::showEvent(pEvent);
}

bool CSelectStockDlg::OnInitDialog()
{
    UpdateData(false);
    if (m_pRecord) {
        m_strCode = FixedText(m_pRecord->m_szCode, sizeof m_pRecord->m_szCode);
        if (!m_bCodeEditable)
            Edit(kCodeBox)->setEnabled(false);
        m_byMarket = m_pRecord->m_byMarket;
        m_strName = FixedText(m_pRecord->m_szName, sizeof m_pRecord->m_szName);
        char buf[32];
        const auto res = std::to_chars(buf, buf + sizeof buf, m_pRecord->m_fPreClose,
                                       std::chars_format::fixed, 2);
        m_strPreClose.assign(buf, res.ptr);
        m_fLower = m_pRecord->m_fLower;
        m_fUpper = m_pRecord->m_fUpper;
        UpdateData(false);
    }
    if (m_nMode == 1) {
        for (int id : {12013, 12014, kUpperBox, kLowerBox, 12020, kPreCloseStatic}) {
            if (QWidget* w = Control(id))
                w->hide();
        }
        m_staticGroup->setText(VelkFromUtf8("自选股:"));
        PlaceGroupControls();
        FillGroups();
    } else {
        m_staticGroup->hide();
        m_comboGroup->hide();
    }
    m_strPreClose = "--";
    return true;
}

// Rectangles here are taken as the platform has them: the bottom is the first row below.
void CSelectStockDlg::PlaceGroupControls()
{
    QWidget* label = Control(kCodeLabel);
    QWidget* code = Control(kCodeBox);
    QWidget* name = Control(kNameStatic);
    const QRect client = rect();
    const QRect labelRect = label->geometry();
    const int labelHeight = labelRect.height();
    const int clientTop = client.top();
    const int clientBottom = client.top() + client.height();
    const int d = clientTop + (clientBottom - clientTop) / 2 - labelHeight / 2 - 40;

    label->move(labelRect.left(), labelRect.top() + d);

    const QRect codeRect = code->geometry();
    code->move(codeRect.left(), codeRect.top() + d);
    const int codeBottom = codeRect.top() + d + codeRect.height();
    const int comboTop = codeBottom + labelHeight + 5;
    m_comboGroup->setGeometry(codeRect.left(), comboTop, 2 * codeRect.width(), codeRect.height());
    // The group label takes the code label's left, width and height and is centred on the combo
    // box it names, so the two read as one line whatever their heights.
    m_staticGroup->setGeometry(labelRect.left(), comboTop + (codeRect.height() - labelHeight) / 2,
                               labelRect.width(), labelHeight);
    // The dropped-down rectangle's bottom times eight sets how far the list reaches; a Qt combo
    // box keeps its own height and takes that reach as a number of visible rows.
    const int droppedBottom = comboTop + codeRect.height();
    const int listHeight = droppedBottom * 8 - comboTop - codeRect.height();
    m_comboGroup->setMaxVisibleItems(std::max(1, listHeight / std::max(1, codeRect.height())));

    const QRect nameRect = name->geometry();
    name->move(nameRect.left(), nameRect.top() + d);
}

void CSelectStockDlg::FillGroups()
{
    std::vector<CString> groups = VelkUserGroupNames();
    groups.insert(groups.begin(), CString());
    for (const CString& group : groups)
        m_comboGroup->addItem(VelkFromGbk(group));
    if (m_comboGroup->count() >= 1)
        m_comboGroup->setCurrentIndex(0);
}

bool CSelectStockDlg::DoDataExchange(bool bSaveAndValidate)
{
    if (!m_comboGroup) {
        m_comboGroup = qobject_cast<QComboBox*>(Control(3002));
        m_staticGroup = qobject_cast<QLabel*>(Control(3001));
        m_btnCancel = qobject_cast<QPushButton*>(Control(2));
        m_btnOK = qobject_cast<QPushButton*>(Control(1));
    }
    QLineEdit* lower = Edit(kLowerBox);
    QLineEdit* upper = Edit(kUpperBox);
    QLineEdit* code = Edit(kCodeBox);
    QLabel* name = Label(kNameStatic);
    QLabel* preClose = Label(kPreCloseStatic);
    if (!bSaveAndValidate) {
        lower->setText(VelkFormatFloat(m_fLower));
        upper->setText(VelkFormatFloat(m_fUpper));
        code->setText(VelkFromGbk(m_strCode));
        name->setText(VelkFromGbk(m_strName));
        preClose->setText(VelkFromGbk(m_strPreClose));
        return true;
    }
    if (!VelkExchangeFloat(lower, m_fLower, kPriceMin, kPriceMax) ||
        !VelkExchangeFloat(upper, m_fUpper, kPriceMin, kPriceMax))
        return false;
    m_strCode = VelkToGbk(code->text());
    m_strName = VelkToGbk(name->text());
    m_strPreClose = VelkToGbk(preClose->text());
    return true;
}

void CSelectStockDlg::OnOK()
{
    if (!UpdateData(true))
        return;
    if (m_fLower > m_fUpper) {
        Warn("下限价必须小于上限价!");
        return;
    }
    m_strGroup = VelkToGbk(m_comboGroup->currentText());
    if ((!m_strName.empty() && !m_strCode.empty()) || (m_nMode != 0 && !m_strGroup.empty())) {
        QDialog::accept();
        return;
    }
    Warn(m_nMode == 0 ? "请键入股票代码!" : "请键入股票代码或选择自选股!");
}

void CSelectStockDlg::OnCancel()
{
    QDialog::reject();
}

void CSelectStockDlg::done(int nResult)
{
    // The wizard is a window of its own: it would stay on screen after the dialog until the
    // dialog object goes.
    if (m_pWizard)
        m_pWizard->hide();
    QDialog::done(nResult);
}

void CSelectStockDlg::accept()
{
    OnOK();
}

void CSelectStockDlg::reject()
{
    OnCancel();
}

bool CSelectStockDlg::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched != m_pForm->m_editCode)
        return QDialog::eventFilter(pWatched, pEvent);
    if (pEvent->type() == QEvent::InputMethod)
        return true;
    if (pEvent->type() != QEvent::KeyPress)
        return QDialog::eventFilter(pWatched, pEvent);
    // A disabled box takes no keys; event filters would otherwise still see them.
    if (!m_pForm->m_editCode->isEnabled())
        return true;
    const auto& key = *static_cast<QKeyEvent*>(pEvent);
    const int vk = VirtualKey(key);
    if (IsWizardKey(vk)) {
        OnKeyDown(key);
        return true;
    }
    switch (vk) {
    case 0x1B:
        OnCancel();
        return true;
    case 0x0D:
        OnOK();
        return true;
    case 0x09:
        return QDialog::eventFilter(pWatched, pEvent);
    default:
        return true;
    }
}

void CSelectStockDlg::OnKeyDown(const QKeyEvent& key)
{
    if (key.modifiers() & (Qt::AltModifier | Qt::ControlModifier))
        return;
    if (!m_pWizard) {
        m_pWizard = new CStockKeyWizzard(this);
        m_pWizard->Attach(this);
    }
    m_pWizard->show();
    m_pWizard->raise();
    m_pWizard->activateWindow();
    const QRect r = frameGeometry();
    m_pWizard->move(r.left(), r.top() + r.height());
    QCoreApplication::postEvent(
        m_pWizard, new QKeyEvent(QEvent::KeyPress, key.key(), key.modifiers(), key.text(),
                                 key.isAutoRepeat(), static_cast<quint16>(key.count())));
}

bool CSelectStockDlg::event(QEvent* pEvent)
{
    const int type = static_cast<int>(pEvent->type());
    if (type == InputChangeMessage()) {
        const auto* selection = dynamic_cast<CSelectStockEvent*>(pEvent);
        OnStockChosen(selection ? &selection->Record() : nullptr);
        if (auto* message = dynamic_cast<CVelkMessageEvent*>(pEvent))
            message->m_result = 0;
        return true;
    }
    if (type == InputCommandMessage()) {
        if (auto* message = dynamic_cast<CVelkMessageEvent*>(pEvent))
            message->m_result = 0;
        return true;
    }
    return QDialog::event(pEvent);
}

void CSelectStockDlg::OnStockChosen(const Ta_SELECTSTOCK* pRecord)
{
    if (!pRecord || pRecord->m_strCode.empty())
        return;
    if (pRecord->m_strCode[0] == '#') {
        VelkMessageBoxService().Show(Gbk("不能添加指数!"), ApplicationCaption(), VelkMsgBox::kOk);
        return;
    }
    m_strCode = pRecord->m_strCode;
    if (!m_bCodeEditable)
        Edit(kCodeBox)->setEnabled(false);
    m_byMarket = pRecord->m_byMarket;
    m_strName.clear();
    CStockKeyWizzard::GetStockName(m_byMarket, m_strCode, m_strName);
    std::vector<X1Format> values;
    const bool fetched =
        BK_bGetItemDataByItemNo(m_byMarket, m_strCode, {129, 125}, values, true, nullptr);
    if (fetched && BK_bGetMemoryState(m_byMarket, m_strCode) && !values.empty())
        m_strPreClose = values[0].s_GetAsString();
    UpdateData(false);
}
