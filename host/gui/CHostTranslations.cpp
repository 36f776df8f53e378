#include "host/gui/CHostTranslations.h"

#include "host/gui/CHostPrompt.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QTranslator>

QString CHostTranslations::QtTranslationsFolder()
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

CHostTranslations::Result CHostTranslations::Install(QCoreApplication& application,
                                                     const QLocale& locale)
{
    Result result;
    // qtbase holds the dialogs' and message boxes' texts; "qt" is the older catalogue that
    // pulls in the other modules' where a distribution still ships it.
    auto* qt = new QTranslator(&application);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), QtTranslationsFolder()) ||
        qt->load(locale, QStringLiteral("qt"), QStringLiteral("_"), QtTranslationsFolder())) {
        QCoreApplication::installTranslator(qt);
        result.qt = true;
    } else {
        delete qt;
    }
    auto* host = new QTranslator(&application);
    if (host->load(locale, QStringLiteral("velk-host"), QStringLiteral("_"),
                   QStringLiteral(":/i18n"))) {
        QCoreApplication::installTranslator(host);
        result.host = true;
    } else {
        delete host;
    }
    // The module's own boxes (a number refused, an index refused) take the application's
    // display name as caption: the program's name, not its file's.
    QGuiApplication::setApplicationDisplayName(CHostPrompt::Caption());
    return result;
}
