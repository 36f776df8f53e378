#include "host/gui/CSystemErrorText.h"

#include <QCoreApplication>
#include <QStringList>
#include <array>
#include <cerrno>
#include <cstring>

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("CSystemErrorText", text);
}

// The errors a file or folder of the data root meets in practice, in the system's words and
// ours. The system's words are asked of the C library, which says them in its own language.
struct SystemError {
    int number;
    const char* text;
};

constexpr std::array kSystemErrors{
    SystemError{ENOENT, QT_TRANSLATE_NOOP("CSystemErrorText", "No such file or directory")},
    SystemError{EACCES, QT_TRANSLATE_NOOP("CSystemErrorText", "Permission denied")},
    SystemError{EPERM, QT_TRANSLATE_NOOP("CSystemErrorText", "Operation not permitted")},
    SystemError{EEXIST, QT_TRANSLATE_NOOP("CSystemErrorText", "File exists")},
    SystemError{ENOSPC, QT_TRANSLATE_NOOP("CSystemErrorText", "No space left on device")},
    SystemError{EDQUOT, QT_TRANSLATE_NOOP("CSystemErrorText", "Disk quota exceeded")},
    SystemError{EROFS, QT_TRANSLATE_NOOP("CSystemErrorText", "Read-only file system")},
    SystemError{EISDIR, QT_TRANSLATE_NOOP("CSystemErrorText", "Is a directory")},
    SystemError{ENOTDIR, QT_TRANSLATE_NOOP("CSystemErrorText", "Not a directory")},
    SystemError{EIO, QT_TRANSLATE_NOOP("CSystemErrorText", "Input/output error")},
    SystemError{EBUSY, QT_TRANSLATE_NOOP("CSystemErrorText", "Device or resource busy")},
    SystemError{EMFILE, QT_TRANSLATE_NOOP("CSystemErrorText", "Too many open files")},
    SystemError{ENAMETOOLONG, QT_TRANSLATE_NOOP("CSystemErrorText", "File name too long")},
    SystemError{ECONNREFUSED, QT_TRANSLATE_NOOP("CSystemErrorText", "Connection refused")},
    SystemError{ECONNRESET, QT_TRANSLATE_NOOP("CSystemErrorText", "Connection reset by peer")},
    SystemError{ETIMEDOUT, QT_TRANSLATE_NOOP("CSystemErrorText", "Connection timed out")},
    SystemError{EHOSTUNREACH, QT_TRANSLATE_NOOP("CSystemErrorText", "No route to host")},
    SystemError{ENETUNREACH, QT_TRANSLATE_NOOP("CSystemErrorText", "Network is unreachable")},
};

// Fixed parts of the messages: the steps of the alert history, SQLite's own messages and the
// trial run's.
constexpr std::array kPhrases{
    QT_TRANSLATE_NOOP("CSystemErrorText", "prepare"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "begin run"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "commit"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "delete"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "query"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "no database"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "SQLite error"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "database is locked"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "disk I/O error"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "unable to open database file"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "database disk image is malformed"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "file is not a database"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "attempt to write a readonly database"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "database or disk is full"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "no scratch folder could be made for the trial"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "cannot be copied for the trial"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "the drafted settings cannot be written"),
    // The live feed's connection, and the resolver's commonest answers.
    QT_TRANSLATE_NOOP("CSystemErrorText", "timed out"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "Name or service not known"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "Temporary failure in name resolution"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "Servname not supported for ai_socktype"),
    // The outputs' secret file.
    QT_TRANSLATE_NOOP("CSystemErrorText", "no place for secrets (set HOME or XDG_CONFIG_HOME)"),
};

// Parts with a value in them, written %1.
constexpr std::array kForms{
    QT_TRANSLATE_NOOP("CSystemErrorText", "cannot create the folder of %1"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "schema update to %1 failed"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "cannot read %1"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "cannot write %1"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "the secret of %1 is damaged"),
    QT_TRANSLATE_NOOP("CSystemErrorText", "feed address %1 is not -, tcp://HOST:PORT, unix:PATH or "
                                          "nats://HOST:PORT[/SUBJECT]"),
};

QString TranslatePart(const QString& part)
{
    for (const SystemError& error : kSystemErrors) {
        if (part == QString::fromLatin1(error.text) ||
            part == QString::fromLocal8Bit(std::strerror(error.number)))
            return Tr(error.text);
    }
    for (const char* phrase : kPhrases) {
        if (part == QString::fromLatin1(phrase))
            return Tr(phrase);
    }
    for (const char* form : kForms) {
        const QString text = QString::fromLatin1(form);
        const int at = text.indexOf(QStringLiteral("%1"));
        const QString before = text.left(at);
        const QString after = text.mid(at + 2);
        if (part.size() > before.size() + after.size() && part.startsWith(before) &&
            part.endsWith(after))
            return Tr(form).arg(
                part.mid(before.size(), part.size() - before.size() - after.size()));
    }
    return part;
}

} // namespace

QString CSystemErrorText::Translate(const std::string& message)
{
    return Translate(QString::fromStdString(message));
}

QString CSystemErrorText::Translate(const QString& message)
{
    const QString separator = QStringLiteral(": ");
    QStringList parts = message.split(separator);
    for (QString& part : parts)
        part = TranslatePart(part);
    return parts.join(separator);
}
