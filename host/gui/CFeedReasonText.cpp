#include "host/gui/CFeedReasonText.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <array>

namespace {

// The reader's reasons, values written %1, %2. A field's name is a value: the feed's field names
// are its protocol and stay as written.
constexpr std::array kForms{
    QT_TRANSLATE_NOOP("CFeedReasonText", "the line is not JSON"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "the line is not a JSON object"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "the line has no type"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "the line holds a number that is not finite"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "the line is of a kind this host does not know"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "the line a field the kind needs is missing"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "comes before the hello"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "protocol version %1 is newer than 1"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "market %1 is not in the hello"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "stock %1 %2 is not known"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "was taken before the reconnection"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "goes back in time for %1"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "no member of the group is known"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "the price is not finite"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "%1 has more than %2 decimals"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "%1 is not a number"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "%1 is not a finite number"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "%1 is not finite"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "%1 is not a whole number in range"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "%1 is not a whole number of shares"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "%1 is not a string"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "%1 is not a short string"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "%1 is empty"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "%1 is negative"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "%1 is not a list"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "%1 is not HH:MM:SS or HH:MM:SS.mmm"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "%1 is not a date yyyymmdd"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "%1 is not a ratio from 0 to 1"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "%1 holds an entry that is not an object"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "%1 needs a market number and ext"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "%1 needs a number and a name"),
    QT_TRANSLATE_NOOP("CFeedReasonText", "%1 needs a market and a code"),
};

// The form as a pattern over the whole reason, its values captured in order. A value is one
// word, as field names, markets, codes and counts are; the last value of a form that ends in
// it takes the rest.
QRegularExpression Pattern(const QString& form)
{
    static const QRegularExpression marker(QStringLiteral("%[1-9]"));
    QString pattern = QStringLiteral("^");
    int from = 0;
    for (QRegularExpressionMatchIterator it = marker.globalMatch(form); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        pattern += QRegularExpression::escape(form.mid(from, m.capturedStart() - from));
        pattern +=
            m.capturedEnd() == form.size() ? QStringLiteral("(.+)") : QStringLiteral("(\\S+)");
        from = m.capturedEnd();
    }
    pattern += QRegularExpression::escape(form.mid(from)) + QStringLiteral("$");
    return QRegularExpression(pattern);
}

} // namespace

QString CFeedReasonText::Translate(const std::string& reason)
{
    const QString text = QString::fromStdString(reason);
    static const std::array<QRegularExpression, kForms.size()> patterns = [] {
        std::array<QRegularExpression, kForms.size()> all;
        for (std::size_t i = 0; i < kForms.size(); ++i)
            all[i] = Pattern(QString::fromLatin1(kForms[i]));
        return all;
    }();
    for (std::size_t i = 0; i < kForms.size(); ++i) {
        const QRegularExpressionMatch match = patterns[i].match(text);
        if (!match.hasMatch())
            continue;
        const QString form = QCoreApplication::translate("CFeedReasonText", kForms[i]);
        // All values at once, so that a value holding "%2" is not filled in itself.
        switch (match.lastCapturedIndex()) {
        case 1:
            return form.arg(match.captured(1));
        case 2:
            return form.arg(match.captured(1), match.captured(2));
        default:
            return form;
        }
    }
    return text;
}
