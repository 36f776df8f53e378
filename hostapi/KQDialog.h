#pragma once

#include <QDialog>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "KQApiExport.h"
#include "KQCommon.h"

class QWidget;
class QKeyEvent;
class QHideEvent;

// The keyboard wizard's candidate table travels as raw memory whose fields are all 32-bit, as
// the wizard's callers have always laid it out. On a 64-bit process a window or an array
// address does not fit in 32 bits, so hNotifyWnd and pItems hold handles of the dialog
// library's handle table instead: KQ_hGetWindowHandle / KQ_pWindowFromHandle for windows (a
// window that has gone away resolves to null) and KQ_hAllocKeyItems / KQ_pGetKeyItems /
// KQ_FreeKeyItems for entry arrays. Handle 0 always means none.
#pragma pack(push, 1)
struct TaKeyRegisterItem {
    char szCode[12]; // "code.ext", at most 11 bytes and a NUL
    char szName[20]; // at most 19 bytes and a NUL
    std::uint32_t dwData1;
    std::uint32_t dwData2;
};

struct TaKeyRegisterTable {
    std::uint32_t nFlag;
    std::uint32_t hNotifyWnd; // window handle of the owner, 0 without one
    std::uint32_t nCount;
    std::uint32_t nMsg;   // message id handed back to OnSelectCode at a pick
    std::uint32_t pItems; // entry array handle
    std::uint32_t nCapacity;
};
#pragma pack(pop)

static_assert(sizeof(TaKeyRegisterItem) == 40);
static_assert(offsetof(TaKeyRegisterItem, szCode) == 0);
static_assert(offsetof(TaKeyRegisterItem, szName) == 12);
static_assert(offsetof(TaKeyRegisterItem, dwData1) == 32);
static_assert(offsetof(TaKeyRegisterItem, dwData2) == 36);

static_assert(sizeof(TaKeyRegisterTable) == 24);
static_assert(offsetof(TaKeyRegisterTable, nFlag) == 0);
static_assert(offsetof(TaKeyRegisterTable, hNotifyWnd) == 4);
static_assert(offsetof(TaKeyRegisterTable, nCount) == 8);
static_assert(offsetof(TaKeyRegisterTable, nMsg) == 12);
static_assert(offsetof(TaKeyRegisterTable, pItems) == 16);
static_assert(offsetof(TaKeyRegisterTable, nCapacity) == 20);

// A zero-filled array of count entries; 0 when count is 0 or memory is short.
KQ_API std::uint32_t KQ_hAllocKeyItems(std::uint32_t count);
// The array of a handle, or null when the handle is 0, unknown or freed.
KQ_API TaKeyRegisterItem* KQ_pGetKeyItems(std::uint32_t handle);
// The number of entries allocated under a handle (0 when unknown).
KQ_API std::uint32_t KQ_nGetKeyItemCapacity(std::uint32_t handle);
KQ_API void KQ_FreeKeyItems(std::uint32_t handle);
// The same window always gets the same handle; null gets 0.
KQ_API std::uint32_t KQ_hGetWindowHandle(QWidget* window);
KQ_API QWidget* KQ_pWindowFromHandle(std::uint32_t handle);

// The keyboard wizard: a small frameless pop-up with an input box over a candidate list. The
// caller registers candidate tables; typing narrows the list, and picking an entry hands its
// code to OnSelectCode.
class KQ_API CKeyWizzard : public QDialog {
public:
    explicit CKeyWizzard(QWidget* pParent = nullptr);
    ~CKeyWizzard() override;
    CKeyWizzard(const CKeyWizzard&) = delete;
    CKeyWizzard& operator=(const CKeyWizzard&) = delete;

    // The dialog template of the wizard's window.
    static constexpr int kTemplateId = 8057;
    static constexpr int kInputId = 1001;
    static constexpr int kListId = 1002;
    // No more candidates than this are shown at once.
    static constexpr int kMaxShown = 50;

    // Creates the modeless window from the template as a pop-up of pParent and runs
    // OnInitDialog; false when the window exists already.
    bool Create(QWidget* pParent);

    std::uint32_t Init(const char* pszSysPath);
    // Where the window's top-left corner goes (screen coordinates).
    void SetPosLT(int nLeft, int nTop, int nFlag);
    // Registers a table (or refreshes one registered before); it must stay valid while the
    // wizard exists. Returns the number of registered tables.
    std::uint32_t AddKeyTableReg(TaKeyRegisterTable* pTable);
    // Brings the candidate list up to date with m_strInput.
    void OnChangeEdit();

    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual bool OnSelectCode(std::uint32_t nMsg, const char* pszCode);
    virtual void OnInputCheck();
    virtual void OnWizardEvent();

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;
    void accept() override;
    void reject() override;

    CString m_strInput;

private:
    struct Impl;
    void OnInputEdited();
    bool HandleNavigationKey(int key);
    void PickRow(int row);

    std::unique_ptr<Impl> m_pImpl;
};
