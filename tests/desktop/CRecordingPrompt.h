#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "host/gui/CHostPrompt.h"

// The desktop program's message boxes in a test: kept, and answered as scripted (No when the
// script has run out, as the box's default).
class CRecordingPrompt final : public IHostPrompt {
public:
    CRecordingPrompt() : m_scope(*this) {}

    void Warn(QWidget*, const QString& text) override { warnings << text; }
    void Inform(QWidget*, const QString& text) override { notes << text; }
    bool Confirm(QWidget*, const QString& text) override
    {
        questions << text;
        if (answers.empty())
            return false;
        const bool yes = answers.front();
        answers.erase(answers.begin());
        return yes;
    }

    QStringList warnings;
    QStringList notes;
    QStringList questions;
    std::vector<bool> answers;

private:
    CScopedHostPrompt m_scope;
};
