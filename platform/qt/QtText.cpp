#include "platform/qt/QtText.h"

#include "platform/core/TextCodec.h"

QString VelkFromGbk(const std::string& gbk)
{
    return QString::fromStdString(TextCodec::GbkToUtf8(gbk));
}

std::string VelkToGbk(const QString& text)
{
    return TextCodec::Utf8ToGbk(text.toStdString());
}

QString VelkFromUtf8(const char* utf8)
{
    return utf8 ? QString::fromUtf8(utf8) : QString();
}
