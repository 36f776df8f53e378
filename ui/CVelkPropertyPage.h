#pragma once

#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class QKeyEvent;
struct CSettingsBinding;

// One page of a property sheet. A page is constructed without a window: only an empty widget
// exists until its tab is first activated, and then its controls are created from its dialog
// template and OnInitDialog runs, once. Until its commit (OnOK or OnApply, reached only when
// the page has a window) a page writes nothing through the addresses it was bound to.
class CVelkPropertyPage : public QWidget {
    Q_OBJECT
public:
    // captionUtf8 and size are those of the page's dialog template: the tab shows the caption,
    // and the sheet takes the size of its largest page before any page has a window.
    CVelkPropertyPage(int nIDTemplate, const char* captionUtf8, QSize templateSize);
    ~CVelkPropertyPage() override;

    CVelkPropertyPage(const CVelkPropertyPage&) = delete;
    CVelkPropertyPage& operator=(const CVelkPropertyPage&) = delete;

    int TemplateId() const { return m_nIDTemplate; }
    const QString& Caption() const { return m_strCaption; }

    // Binding before the sheet runs: the page copies what it edits from the sheet's copies of
    // the engine's settings and commits its part back into them, marking it committed. A page
    // that is not part of the settings sheet ignores the binding.
    virtual void BindSettings(CSettingsBinding& binding);

    // Creates the controls and runs OnInitDialog the first time; false when the page already
    // had a window or OnInitDialog failed.
    bool CreatePageWindow();
    bool HasWindow() const { return m_bHasWindow; }

    // The sheet asks the page it shows to read and check its controls before any page
    // applies; false keeps the sheet open (the page has put the focus on the refused field).
    virtual bool OnKillActive() { return true; }

    // The sheet's OK reaches every page with a window through OnApply; the framework's OnApply
    // calls OnOK. A page may be committed more than once and must give the same result. The
    // base OnOK, which every page's OnOK ends with, sets the commit mark.
    virtual bool OnApply();
    virtual void OnOK();
    virtual void OnCancel();

    void SetModified(bool bChanged = true);
    bool IsModified() const { return m_bModified; }

    // The control with the given id of the page's template, or null (also before the window).
    QWidget* Control(int controlId) const;

    // Runs the command handler of a control id later, from the event loop, whatever the state
    // of its button (a posted command reaches the page even when the button is disabled).
    void PostCommand(int controlId);
    // Runs it now; false when the page has no handler for the id.
    bool SendCommand(int controlId);

protected:
    // The flag of the sheet's value that says this page's part was committed.
    void SetCommitMark(bool* pMark) { m_pCommitMark = pMark; }

    // Builds the controls of the template on this widget (setupUi).
    virtual void CreateControls() = 0;
    virtual bool OnInitDialog();
    // Every key event meant for this page or one of its controls passes here first; true eats
    // it. The base eats nothing.
    virtual bool PreTranslateMessage(QKeyEvent* pKey);

    // The button with this control id runs the handler when clicked; PostCommand and
    // SendCommand find the handler by the id.
    void OnCommand(int controlId, std::function<void()> handler);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int m_nIDTemplate;
    QString m_strCaption;
    QSize m_templateSize;
    bool m_bHasWindow = false;
    bool m_bModified = false;
    bool* m_pCommitMark = nullptr;
    std::unordered_map<int, std::function<void()>> m_commands;
};

// The pages' shortcut latch, one byte for the whole library: a shortcut fires when its key
// goes down with the latch at 1 and sets it to 0; the letter key going up re-arms it, so a
// combination held down fires once. The system alert page and the magic watch page share it.
unsigned char& VelkShortcutLatch();

// Whether a key event is a shortcut key: Ctrl held and the key going down while the latch is
// 1 (the latch is then cleared), or the key going up (the latch is re-armed; false). keys
// lists the letter keys (Qt::Key_A...) the page answers. Auto-repeated releases of a held key
// do not re-arm the latch.
bool VelkShortcutFires(const QKeyEvent& key, const std::vector<int>& keys);

// Pages that can be created by class name, as the framework's dynamic creation does it. A page
// class registers itself with VELK_IMPLEMENT_DYNCREATE in its source file.
class CVelkPageRegistry {
public:
    using Factory = std::function<std::unique_ptr<CVelkPropertyPage>()>;

    static bool Register(const char* className, Factory factory);
    // A new page of the class, or null when no class of that name is registered.
    static std::unique_ptr<CVelkPropertyPage> Create(const std::string& className);
    static bool IsRegistered(const std::string& className);
};

#define VELK_IMPLEMENT_DYNCREATE(ClassName)                                                        \
    namespace {                                                                                    \
    const bool g_registered##ClassName = CVelkPageRegistry::Register(                              \
        #ClassName, [] { return std::unique_ptr<CVelkPropertyPage>(new ClassName()); });           \
    }
