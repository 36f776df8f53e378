#pragma once

#include <QString>
#include <string>

// The trading-day loader below the windows has no Qt and writes its messages in English
// ("trades.csv:10528: 3 fields where 5 are expected"), as the headless run prints them. The
// desktop program shows them in the user's language: each message is matched against the
// loader's message forms and said again through the translation, its values carried over.
// A message of no known form is shown as it came.
class CLoadErrorText {
public:
    static QString Translate(const std::string& message);
    static QString Translate(const QString& message);
};
