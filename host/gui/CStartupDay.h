#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>

class CDesktopMainWindow;

// The day a desktop run opens as it starts: the folder given on the command line, else the day
// opened last, else the demo day installed with the program, whose conditions seed a data
// directory without any. It loads on the window's loading thread, as a day opened from the
// menu does, so the window is up and answers while a whole market's day is read; what fails is
// told on the terminal and, once the window is up, in a message box.
class CStartupDay {
public:
    struct Choice {
        QString folder; // empty: nothing to open
        bool demo = false;
    };

    // given: the command line's folder, may be empty; last: the day opened last, may be empty
    // or gone; demoDay: the installed demo day, may be missing.
    static Choice Choose(const QString& given, const QString& last, const QString& demoDay);

    // Copies the condition files of demoSys into sysDir unless sysDir holds any condition file
    // of its own. Each file that could not be copied, as "path: reason".
    static QStringList SeedDemoConditions(const QString& demoSys, const QString& sysDir);

    // Seeds the conditions for the demo day and starts loading the chosen day in window.
    static void Open(CDesktopMainWindow& window, const Choice& choice, const QString& demoSys,
                     const QString& sysDir, std::FILE* log);
};
