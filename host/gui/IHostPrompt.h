#pragma once

#include <QString>

class QWidget;

// The desktop program's own message boxes, as against the module's: texts are Unicode from
// the start (a folder name is shown as it is, never through GBK), the caption is the
// program's name. Tests install a recorder with scripted answers.
class IHostPrompt {
public:
    virtual ~IHostPrompt() = default;
    virtual void Warn(QWidget* parent, const QString& text) = 0;
    virtual void Inform(QWidget* parent, const QString& text) = 0;
    // Yes or No, No by default (Enter or Esc answer No); true for Yes.
    virtual bool Confirm(QWidget* parent, const QString& text) = 0;
};
