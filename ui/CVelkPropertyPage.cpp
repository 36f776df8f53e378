#include "ui/CVelkPropertyPage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMetaObject>
#include <QPointer>
#include <map>
#include <mutex>

#include "engine/VelkServices.h"
#include "platform/qt/QtText.h"

CVelkPropertyPage::CVelkPropertyPage(int nIDTemplate, const char* captionUtf8, QSize templateSize)
    : m_nIDTemplate(nIDTemplate), m_strCaption(VelkFromUtf8(captionUtf8)),
      m_templateSize(templateSize)
{
    setProperty("controlId", nIDTemplate);
    setFixedSize(templateSize);
}

CVelkPropertyPage::~CVelkPropertyPage()
{
    if (m_bHasWindow && qApp)
        qApp->removeEventFilter(this);
}

void CVelkPropertyPage::BindSettings(CSettingsBinding&) {}

bool CVelkPropertyPage::CreatePageWindow()
{
    if (m_bHasWindow)
        return false;
    m_bHasWindow = true;
    CreateControls();
    // A tab is on screen before its window is created, and controls made under a visible
    // widget stay hidden until shown.
    if (isVisible()) {
        for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!child->testAttribute(Qt::WA_WState_ExplicitShowHide))
                child->show();
        }
    }
    // The template's own geometry may not shrink or stretch the page.
    setFixedSize(m_templateSize);
    // Keys reach the focused control, which may be any descendant of the page; the
    // application's filter sees them all before they arrive.
    qApp->installEventFilter(this);
    return OnInitDialog();
}

bool CVelkPropertyPage::OnInitDialog()
{
    return true;
}

bool CVelkPropertyPage::OnApply()
{
    OnOK();
    return true;
}

void CVelkPropertyPage::OnOK()
{
    if (m_pCommitMark)
        *m_pCommitMark = true;
}

void CVelkPropertyPage::OnCancel() {}

void CVelkPropertyPage::SetModified(bool bChanged)
{
    m_bModified = bChanged;
}

QWidget* CVelkPropertyPage::Control(int controlId) const
{
    if (!m_bHasWindow)
        return nullptr;
    for (QWidget* child : findChildren<QWidget*>()) {
        if (child->property("controlId").toInt() == controlId)
            return child;
    }
    return nullptr;
}

void CVelkPropertyPage::OnCommand(int controlId, std::function<void()> handler)
{
    m_commands[controlId] = std::move(handler);
    if (auto* button = qobject_cast<QAbstractButton*>(Control(controlId)))
        connect(button, &QAbstractButton::clicked, this,
                [this, controlId] { SendCommand(controlId); });
}

bool CVelkPropertyPage::SendCommand(int controlId)
{
    auto it = m_commands.find(controlId);
    if (it == m_commands.end())
        return false;
    // A handler may replace the command table (it never does today); run a copy.
    std::function<void()> handler = it->second;
    handler();
    return true;
}

void CVelkPropertyPage::PostCommand(int controlId)
{
    QMetaObject::invokeMethod(
        this, [this, controlId] { SendCommand(controlId); }, Qt::QueuedConnection);
}

bool CVelkPropertyPage::PreTranslateMessage(QKeyEvent*)
{
    return false;
}

bool CVelkPropertyPage::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    // Only a widget of this page; the filter sees the whole application.
    if (!widget || (widget != this && !isAncestorOf(widget)))
        return false;
    return PreTranslateMessage(static_cast<QKeyEvent*>(event));
}

unsigned char& VelkShortcutLatch()
{
    static unsigned char latch = 1;
    return latch;
}

bool VelkShortcutFires(const QKeyEvent& key, const std::vector<int>& keys)
{
    bool listed = false;
    for (int k : keys)
        listed = listed || key.key() == k;
    if (!listed)
        return false;
    unsigned char& latch = VelkShortcutLatch();
    if (key.type() == QEvent::KeyPress) {
        if ((key.modifiers() & Qt::ControlModifier) && latch == 1) {
            latch = 0;
            return true;
        }
        return false;
    }
    // A held key repeats as release-press pairs marked as repeats; only the real release
    // re-arms the latch.
    if (key.type() == QEvent::KeyRelease && !key.isAutoRepeat())
        latch = 1;
    return false;
}

namespace {

std::map<std::string, CVelkPageRegistry::Factory>& Registry()
{
    static std::map<std::string, CVelkPageRegistry::Factory> registry;
    return registry;
}

std::mutex& RegistryMutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace

bool CVelkPageRegistry::Register(const char* className, Factory factory)
{
    std::lock_guard<std::mutex> lock(RegistryMutex());
    return Registry().emplace(className, std::move(factory)).second;
}

std::unique_ptr<CVelkPropertyPage> CVelkPageRegistry::Create(const std::string& className)
{
    Factory factory;
    {
        std::lock_guard<std::mutex> lock(RegistryMutex());
        auto it = Registry().find(className);
        if (it == Registry().end())
            return nullptr;
        factory = it->second;
    }
    return factory();
}

bool CVelkPageRegistry::IsRegistered(const std::string& className)
{
    std::lock_guard<std::mutex> lock(RegistryMutex());
    return Registry().count(className) != 0;
}
