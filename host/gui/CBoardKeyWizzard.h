#pragma once

#include <QPointer>
#include <cstdint>
#include <functional>
#include <string>

#include "hostapi/KQDialog.h"

class QKeyEvent;

// The quote board's keyboard wizard: the dialog library's wizard over every symbol of every
// market, the same candidates as the module's; a pick is handed to the board.
class CBoardKeyWizzard final : public CKeyWizzard {
public:
    using PickHandler = std::function<void(unsigned char market, const std::string& code)>;

    CBoardKeyWizzard(QWidget* pBoard, PickHandler onPick);
    ~CBoardKeyWizzard() override;

    // Opens the wizard at the board's lower right corner with the key that was typed on it.
    void Open(const QKeyEvent& key);

    // The candidates anew from the quote service, after another day was opened; a wizard not
    // yet created builds them when it is.
    void RebuildCandidates();

    bool OnInitDialog() override;
    bool OnSelectCode(std::uint32_t nMsg, const char* pszCode) override;

    // Whether a key typed on the board opens the wizard: digits and letters without Ctrl or Alt.
    static bool OpensWizard(const QKeyEvent& key);

private:
    void BuildKeyTable();

    QPointer<QWidget> m_pBoard;
    PickHandler m_onPick;
    TaKeyRegisterTable m_keyTable{};
    bool m_bBuilt = false;
};
