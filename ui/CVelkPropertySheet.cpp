#include "ui/CVelkPropertySheet.h"

#include <QDialogButtonBox>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "platform/qt/QtText.h"
#include "ui/CVelkPropertyPage.h"

namespace {

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

} // namespace

CVelkPropertySheet::CVelkPropertySheet(const QString& caption, QWidget* pParent) : QDialog(pParent)
{
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);
    m_pTabs = new QTabWidget(this);
    layout->addWidget(m_pTabs);
    m_pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* ok = m_pButtons->button(QDialogButtonBox::Ok);
    QPushButton* cancel = m_pButtons->button(QDialogButtonBox::Cancel);
    ok->setText(VelkFromUtf8("确定"));
    ok->setProperty("controlId", kIdOk);
    cancel->setText(VelkFromUtf8("取消"));
    cancel->setProperty("controlId", kIdCancel);
    layout->addWidget(m_pButtons);
    // The pages are fixed templates: the sheet takes the size of the largest and keeps it.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_pButtons, &QDialogButtonBox::accepted, this, &CVelkPropertySheet::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &CVelkPropertySheet::reject);
    connect(m_pTabs, &QTabWidget::currentChanged, this, &CVelkPropertySheet::ActivateTab);
}

CVelkPropertySheet::~CVelkPropertySheet()
{
    ReleasePages();
}

void CVelkPropertySheet::ReleasePages()
{
    // Pages belong to the creator: should the sheet go first, it hands them back instead of
    // deleting them with its children.
    for (CVelkPropertyPage* page : m_pages) {
        QPointer<CVelkPropertyPage> alive(page);
        if (alive)
            alive->setParent(nullptr);
    }
    m_pages.clear();
}

void CVelkPropertySheet::AddPage(CVelkPropertyPage* pPage)
{
    if (!pPage)
        return;
    m_pages.push_back(pPage);
    // A page destroyed by its creator leaves the tab widget on its own (QWidget's destructor);
    // it must leave the page list too.
    connect(pPage, &QObject::destroyed, this, [this](QObject* gone) {
        std::erase_if(m_pages,
                      [gone](CVelkPropertyPage* p) { return static_cast<QObject*>(p) == gone; });
    });
    const QSignalBlocker block(m_pTabs);
    m_pTabs->addTab(pPage, pPage->Caption());
}

CVelkPropertyPage* CVelkPropertySheet::GetPage(int index) const
{
    return index >= 0 && index < GetPageCount() ? m_pages[static_cast<std::size_t>(index)]
                                                : nullptr;
}

CVelkPropertyPage* CVelkPropertySheet::GetActivePage() const
{
    return GetPage(m_pTabs->currentIndex());
}

bool CVelkPropertySheet::SetActivePage(int index)
{
    if (!GetPage(index))
        return false;
    if (m_pTabs->currentIndex() == index)
        ActivateTab(index);
    else
        m_pTabs->setCurrentIndex(index);
    return true;
}

void CVelkPropertySheet::ActivateTab(int index)
{
    CVelkPropertyPage* page = GetPage(index);
    if (page && !page->HasWindow())
        page->CreatePageWindow();
}

int CVelkPropertySheet::DoModal()
{
    if (!m_pages.empty())
        SetActivePage(0);
    return exec() == QDialog::Accepted ? kIdOk : kIdCancel;
}

bool CVelkPropertySheet::ApplyPages()
{
    // The page on show is read and checked first: a value it refuses must not be applied.
    if (CVelkPropertyPage* active = GetActivePage(); active && active->HasWindow()) {
        if (!active->OnKillActive())
            return false;
    }
    for (int i = 0; i < GetPageCount(); ++i) {
        CVelkPropertyPage* page = GetPage(i);
        if (!page->HasWindow())
            continue;
        if (!page->OnApply()) {
            m_pTabs->setCurrentIndex(i);
            return false;
        }
    }
    return true;
}

void CVelkPropertySheet::accept()
{
    if (!ApplyPages())
        return;
    if (m_acceptCheck && !m_acceptCheck())
        return;
    QDialog::accept();
}
