#pragma once

#include <QString>
#include <string>

// The day-file keeper, the alert history's database and the trial run of the market monitor sit
// below the windows and say what failed in English, with the system's or SQLite's own words
// ("../Dat/Alert/20211201.alt: Permission denied", "commit: database is locked"). The desktop
// program shows them in the user's language: the message is cut at its ": " into parts and
// each part that is one of the known phrases or forms is said again through the translation.
// Paths and anything unknown are shown as they came.
class CSystemErrorText {
public:
    static QString Translate(const std::string& message);
    static QString Translate(const QString& message);
};
