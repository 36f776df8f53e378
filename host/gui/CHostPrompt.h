#pragma once

#include <QString>

#include "host/gui/IHostPrompt.h"

// The desktop program's message boxes on screen, captioned with the program's Chinese name.
// Prompt() gives the one in use: this one, or a scoped replacement of a test's.
class CHostPrompt final : public IHostPrompt {
public:
    static QString Caption();
    static IHostPrompt& Prompt();

    void Warn(QWidget* parent, const QString& text) override;
    void Inform(QWidget* parent, const QString& text) override;
    bool Confirm(QWidget* parent, const QString& text) override;
};

// Puts a prompt in place of the one in use for its lifetime.
class CScopedHostPrompt {
public:
    explicit CScopedHostPrompt(IHostPrompt& prompt);
    ~CScopedHostPrompt();
    CScopedHostPrompt(const CScopedHostPrompt&) = delete;
    CScopedHostPrompt& operator=(const CScopedHostPrompt&) = delete;

private:
    IHostPrompt* m_pPrevious;
};
