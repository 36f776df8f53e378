#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <vector>

class CVelkPropertyPage;
class QDialogButtonBox;
class QTabWidget;

// A modal tabbed sheet of property pages with OK and Cancel and no Apply. The sheet does not
// own its pages: they are created before it and destroyed before it by its creator. A page's
// window is created when its tab is first shown; OK commits every page that has a window.
class CVelkPropertySheet final : public QDialog {
    Q_OBJECT
public:
    explicit CVelkPropertySheet(const QString& caption, QWidget* pParent = nullptr);
    ~CVelkPropertySheet() override;

    // Pages are shown as tabs in the order they are added, with their templates' captions.
    void AddPage(CVelkPropertyPage* pPage);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CVelkPropertyPage* GetPage(int index) const;
    CVelkPropertyPage* GetActivePage() const;
    bool SetActivePage(int index);
    QTabWidget* TabControl() const { return m_pTabs; }

    // Shows the first page and runs the sheet; 1 (IDOK) after OK, 2 (IDCANCEL) otherwise.
    int DoModal();

    // What OK does: every page with a window applies; a page that refuses keeps the sheet open
    // on it. Returns whether all applied.
    bool ApplyPages();
    // Asked after every page applied, before the sheet closes with OK: the creator takes what
    // the pages committed. False keeps the sheet open; the check has told the user why.
    void SetAcceptCheck(std::function<bool()> check) { m_acceptCheck = std::move(check); }

    void accept() override;

private:
    void ActivateTab(int index);
    void ReleasePages();

    QTabWidget* m_pTabs = nullptr;
    QDialogButtonBox* m_pButtons = nullptr;
    std::vector<CVelkPropertyPage*> m_pages;
    std::function<bool()> m_acceptCheck;
};
