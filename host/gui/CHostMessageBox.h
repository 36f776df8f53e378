#pragma once

#include <cstdio>
#include <string>

#include "engine/VelkServices.h"

// The message boxes of a headless run: nobody is there to press a button, so each box is
// written as one line in UTF-8 and answered at once, OK, or Yes when it asks yes or no.
class CHostMessageBox final : public IVelkMessageBox {
public:
    explicit CHostMessageBox(std::FILE* log) : m_pLog(log) {}

    int Show(const std::string& textGbk, const std::string& captionGbk, unsigned flags) override;

    // How many of the boxes were warnings (the exclamation icon): something failed.
    int Warnings() const { return m_nWarnings; }

private:
    std::FILE* m_pLog;
    int m_nWarnings = 0;
};
