#pragma once

#include <string>

#include "platform/core/TextCodec.h"

// Test texts are written in UTF-8; below the user interface every text is GBK.
inline std::string Gbk(const std::string& utf8)
{
    return TextCodec::Utf8ToGbk(utf8);
}
