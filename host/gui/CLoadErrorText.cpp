#include "host/gui/CLoadErrorText.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <array>
#include <string_view>
#include <vector>

namespace {

// One form of the loader's messages. Its values are written %1, %2, ... and matched by kind:
// 'n' a whole number, 'q' a quoted text (which may itself hold quotes or spaces), 'w' anything
// up to the next fixed text.
struct Form {
    const char* text;
    const char* kinds;
};

// Messages about a whole file or folder: "name: what".
constexpr std::array kFileForms{
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "%1: no such trading-day folder"), "w"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "%1: missing; it gives the trade date"), "w"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "%1: missing; it lists the markets"), "w"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "%1: no trade date"), "w"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "%1: loading cancelled"), "w"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "%1: is not a regular file"), "w"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "%1: cannot be read"), "w"},
};

// What is wrong on one line, after "name:line: ".
constexpr std::array kLineForms{
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "%1 fields where %2 are expected"), "nn"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "the header must be %1"), "q"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "a quoted field is not closed"), ""},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "text after a quoted field"), ""},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "a quote inside an unquoted field"), ""},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "market %1 is not a number from 0 to 255"), "q"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "the code is empty"), ""},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "code %1 is longer than 11 characters"), "q"},
    Form{
        QT_TRANSLATE_NOOP("CLoadErrorText", "code %1 holds a character other than printable ASCII"),
        "q"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "the %1 is empty"), "w"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "the %1 is not valid UTF-8"), "w"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "%1 %2 has characters that GBK cannot hold"), "wq"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "%1 out of range: %2"), "wq"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "%1 %2 has more than %3 decimals"), "wqn"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText",
                           "price %1 is more than ten times the stock's limit-up price or "
                           "previous close (above %2)"),
         "qw"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "volume %1 is not a whole number of shares"), "q"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "%1 %2 is not a whole number"), "wq"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "%1 %2 is not a number"), "wq"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "time %1 is not HH:MM:SS"), "q"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "a second trade date"), ""},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "trade date %1 is not a date yyyymmdd"), "q"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "market %1 is listed twice"), "n"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "decimals %1 is not 2 or 3"), "q"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "market %1 is not in markets.csv"), "n"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "stock %1 %2 is listed twice"), "nw"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "stock %1 %2 is not in symbols.csv"), "nw"},
    Form{QT_TRANSLATE_NOOP("CLoadErrorText", "signal number %1 is listed twice"), "n"},
};

const char* const kLineLocation = QT_TRANSLATE_NOOP("CLoadErrorText", "%1:%2: %3");

QString Tr(const char* text)
{
    return QCoreApplication::translate("CLoadErrorText", text);
}

// The form as a pattern over the whole message, its values captured in order.
QRegularExpression Pattern(const Form& form)
{
    const QString text = QString::fromLatin1(form.text);
    QString pattern = QStringLiteral("^");
    int from = 0;
    const std::string_view kinds(form.kinds);
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        const char kind = kinds[i];
        const QString marker = QLatin1Char('%') + QString::number(i + 1);
        const int at = text.indexOf(marker, from);
        pattern += QRegularExpression::escape(text.mid(from, at - from));
        pattern += kind == 'n'   ? QStringLiteral("(-?\\d+)")
                   : kind == 'q' ? QStringLiteral("(\".*\")")
                                 : QStringLiteral("(.+?)");
        from = at + static_cast<int>(marker.size());
    }
    pattern += QRegularExpression::escape(text.mid(from)) + QStringLiteral("$");
    return QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption);
}

// All values at once, so that a value holding "%2" is not filled in itself.
QString Fill(const QString& form, const QRegularExpressionMatch& match)
{
    switch (match.lastCapturedIndex()) {
    case 1:
        return form.arg(match.captured(1));
    case 2:
        return form.arg(match.captured(1), match.captured(2));
    case 3:
        return form.arg(match.captured(1), match.captured(2), match.captured(3));
    default:
        return form;
    }
}

template <std::size_t N>
bool Say(const std::array<Form, N>& forms, const QString& message, QString& said)
{
    for (const Form& form : forms) {
        const QRegularExpressionMatch match = Pattern(form).match(message);
        if (!match.hasMatch())
            continue;
        said = Fill(Tr(form.text), match);
        return true;
    }
    return false;
}

} // namespace

QString CLoadErrorText::Translate(const std::string& message)
{
    return Translate(QString::fromStdString(message));
}

QString CLoadErrorText::Translate(const QString& message)
{
    QString said;
    if (Say(kFileForms, message, said))
        return said;
    // "name:line: what"; the name is a file of the day folder, without a colon.
    static const QRegularExpression located(QStringLiteral("^([^:/]+):(\\d+): (.*)$"),
                                            QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = located.match(message);
    if (!match.hasMatch())
        return message;
    QString what = match.captured(3);
    if (!Say(kLineForms, what, said))
        said = what;
    return Tr(kLineLocation).arg(match.captured(1), match.captured(2), said);
}
