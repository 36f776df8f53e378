#pragma once

#include <QString>
#include <string>

#include "VelkPlatformExport.h"

// The only way text crosses between the engine's GBK bytes and Qt's strings.
VELK_PLATFORM_API QString VelkFromGbk(const std::string& gbk);
VELK_PLATFORM_API std::string VelkToGbk(const QString& text);
// For UTF-8 literals in the user interface's own code.
VELK_PLATFORM_API QString VelkFromUtf8(const char* utf8);
