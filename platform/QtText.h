#pragma once

#include <QString>
#include <string>

// The only way text crosses between the engine's GBK bytes and Qt's strings.
QString VelkFromGbk(const std::string& gbk);
std::string VelkToGbk(const QString& text);
// For UTF-8 literals in the user interface's own code.
QString VelkFromUtf8(const char* utf8);
