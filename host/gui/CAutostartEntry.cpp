#include "host/gui/CAutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "host/gui/CSystemErrorText.h"

namespace {

// An argument of an Exec line: quoted when it holds a reserved character, with the characters
// that stay special inside quotes escaped.
QString ExecArgument(const QString& argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`=%");
    bool quote = argument.isEmpty();
    for (QChar c : argument)
        quote = quote || reserved.contains(c);
    if (!quote)
        return argument;
    QString quoted = QStringLiteral("\"");
    for (QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted += QLatin1Char('"');
    return quoted;
}

} // namespace

QString CAutostartEntry::DefaultPath()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/velk-host.desktop");
}

QString CAutostartEntry::Contents(const QString& program)
{
    QString exec = ExecArgument(program);
    // The value itself escapes its backslashes once more.
    exec.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    exec.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=velk-host\n"
                          "Comment=VelkSystemAlert 行情与报警\n"
                          "Exec=%1\n"
                          "Icon=velk-host\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(exec);
}

bool CAutostartEntry::IsInstalled() const
{
    return QFileInfo(m_strPath).isFile();
}

bool CAutostartEntry::Install(const QString& program, QString* error) const
{
    const QFileInfo info(m_strPath);
    if (!QDir().mkpath(info.absolutePath())) {
        if (error)
            *error = QStringLiteral("%1: cannot create the folder").arg(info.absolutePath());
        return false;
    }
    QSaveFile file(m_strPath);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(m_strPath,
                                                  CSystemErrorText::Translate(file.errorString()));
        return false;
    }
    file.write(Contents(program).toUtf8());
    if (!file.commit()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(m_strPath,
                                                  CSystemErrorText::Translate(file.errorString()));
        return false;
    }
    return true;
}

bool CAutostartEntry::Remove(QString* error) const
{
    if (!QFileInfo::exists(m_strPath) && !QFileInfo(m_strPath).isSymLink())
        return true;
    QFile file(m_strPath);
    if (!file.remove()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(m_strPath,
                                                  CSystemErrorText::Translate(file.errorString()));
        return false;
    }
    return true;
}
