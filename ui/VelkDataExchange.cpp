#include "ui/VelkDataExchange.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <charconv>
#include <cmath>

#include "platform/qt/MessageBoxService.h"
#include "platform/qt/QtText.h"

QString VelkFormatFloat(float value)
{
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
    return QString::fromLatin1(buf, static_cast<int>(res.ptr - buf));
}

bool VelkParseFloat(const std::string& text, float& value)
{
    const char* p = text.c_str();
    const char* end = p + text.size();
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    const char first = p < end ? *p : '\0';
    if (p < end && *p == '+')
        ++p;
    double d = 0;
    const auto res = std::from_chars(p, end, d, std::chars_format::general);
    // "nan" and "inf" parse, but a NaN would slip through every range and order check.
    if (res.ec != std::errc() || !std::isfinite(d))
        return false;
    if (d == 0.0 && first != '0')
        return false;
    p = res.ptr;
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    if (p != end)
        return false;
    value = static_cast<float>(d);
    return true;
}

bool VelkExchangeFloat(QLineEdit* pBox, float& fValue, float fMin, float fMax)
{
    if (!pBox)
        return false;
    float value = 0;
    QString refusal;
    if (!VelkParseFloat(VelkToGbk(pBox->text()), value)) {
        refusal = VelkFromUtf8("请输入一个数。");
    } else {
        fValue = value;
        if (value < fMin || value > fMax)
            refusal = VelkFromUtf8("请输入一个介于 %1 和 %2 之间的数。")
                          .arg(VelkFormatFloat(fMin), VelkFormatFloat(fMax));
    }
    if (refusal.isEmpty())
        return true;
    VelkMessageBoxService().Show(VelkToGbk(refusal),
                                 VelkToGbk(QGuiApplication::applicationDisplayName()),
                                 VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
    pBox->setFocus();
    pBox->selectAll();
    return false;
}
