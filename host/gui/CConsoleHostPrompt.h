#pragma once

#include <cstdio>

#include "host/gui/IHostPrompt.h"

// The program's messages where nobody is at the window (pictures taken on the offscreen
// platform): written to a stream instead of waiting in a box for a click that never comes;
// every question is answered No.
class CConsoleHostPrompt final : public IHostPrompt {
public:
    explicit CConsoleHostPrompt(std::FILE* out) : m_pOut(out) {}

    void Warn(QWidget* parent, const QString& text) override;
    void Inform(QWidget* parent, const QString& text) override;
    bool Confirm(QWidget* parent, const QString& text) override;

private:
    std::FILE* m_pOut;
};
