#pragma once

#include <QString>
#include <string>

// The live feed's reader has no Qt and says in English why it skipped a line ("stock 1 600000 is
// not known", "time is not HH:MM:SS or HH:MM:SS.mmm"), as the headless run prints it. The feed
// log of the desktop program shows it in the user's language: the reason is matched against the
// reader's forms and said again through the translation, its values carried over. A reason of
// no known form is shown as it came.
class CFeedReasonText {
public:
    static QString Translate(const std::string& reason);
};
