#pragma once

#include <QLocale>
#include <QString>

class QCoreApplication;

// The desktop program's languages: Qt's own texts (the buttons and labels of file dialogs and
// message boxes) from the translations Qt is installed with, and velk-host's own texts from the
// translation compiled into the program, both for the user's locale.
class CHostTranslations {
public:
    struct Result {
        // Qt's own texts were found for the locale (Qt's English needs none).
        bool qt = false;
        // velk-host's own texts were found for the locale.
        bool host = false;
    };

    // Installs the translators on application, which owns them, and names the application
    // for its message boxes (CHostPrompt::Caption, in the locale's language). A locale without
    // a translation keeps the texts as written.
    static Result Install(QCoreApplication& application, const QLocale& locale = QLocale());

    // The folder Qt's own translations are read from.
    static QString QtTranslationsFolder();
};
