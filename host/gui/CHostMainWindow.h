#pragma once

#include <cstdio>

#include <QWidget>

class QEvent;

// The host application's main window as the module sees it: it owns the module's windows and
// takes the two messages the alert list window sends, a stock to analyse and the settings
// command. The host has no chart or settings of its own, so each is reported as one line.
class CHostMainWindow final : public QWidget {
public:
    // The command id the alert list window posts for its settings button.
    static constexpr unsigned kSettingsCommand = 668;

    explicit CHostMainWindow(std::FILE* log);

protected:
    bool event(QEvent* event) override;

private:
    std::FILE* m_pLog;
    int m_nAnalyseMessage;
    int m_nCommandMessage;
};
