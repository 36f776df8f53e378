#include "host/gui/CStartupDay.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include "host/gui/CDesktopMainWindow.h"
#include "host/gui/CHostPrompt.h"
#include "host/gui/CSystemErrorText.h"

CStartupDay::Choice CStartupDay::Choose(const QString& given, const QString& last,
                                        const QString& demoDay)
{
    if (!given.isEmpty())
        return {given, false};
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return {last, false};
    if (!demoDay.isEmpty() && QFileInfo(demoDay).isDir())
        return {demoDay, true};
    return {};
}

QStringList CStartupDay::SeedDemoConditions(const QString& demoSys, const QString& sysDir)
{
    const QDir sys(sysDir);
    for (const char* name : {"alert.cfg", "Magic.cfg", "System_alert.cfg"})
        if (QFileInfo::exists(sys.filePath(QString::fromLatin1(name))))
            return {};
    QStringList failures;
    const QDir demo(demoSys);
    for (const QString& name : demo.entryList(QDir::Files)) {
        QFile source(demo.filePath(name));
        if (!source.copy(sys.filePath(name)))
            failures << QStringLiteral("%1: %2").arg(
                sys.filePath(name), CSystemErrorText::Translate(source.errorString()));
    }
    return failures;
}

void CStartupDay::Open(CDesktopMainWindow& window, const Choice& choice, const QString& demoSys,
                       const QString& sysDir, std::FILE* log)
{
    if (choice.folder.isEmpty())
        return;
    if (choice.demo) {
        const QStringList failures = SeedDemoConditions(demoSys, sysDir);
        if (!failures.isEmpty()) {
            const QString text =
                QCoreApplication::translate("CStartupDay",
                                            "演示数据的条件文件未能复制，演示日将不会报警：\n%1")
                    .arg(failures.join(QLatin1Char('\n')));
            if (log)
                std::fprintf(log, "velk-host: %s\n", text.toUtf8().constData());
            QTimer::singleShot(0, &window,
                               [&window, text] { CHostPrompt::Prompt().Warn(&window, text); });
        }
    }
    window.OpenDayInBackground(choice.folder);
}
