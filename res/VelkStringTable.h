#pragma once

#include <string>

// The module's string table. Texts are kept in UTF-8 in the source and handed out as GBK
// below the user interface.
namespace VelkString {
constexpr unsigned kAlreadyListed = 61217;
constexpr unsigned kColStockCode = 61218;
constexpr unsigned kColStockName = 61219;
constexpr unsigned kColUpper = 61221;
constexpr unsigned kColLower = 61222;
constexpr unsigned kListName = 61229;
constexpr unsigned kListTime = 61230;
constexpr unsigned kListPrice = 61231;
constexpr unsigned kListVolume = 61232;
constexpr unsigned kListReason = 61233;
constexpr unsigned kReasonFirst = 61352; // reason code 0; codes 0..13 follow in order
constexpr unsigned kSheetCaption = 61821;
} // namespace VelkString

// The UTF-8 text of a string id, or nullptr when the table has no such id.
const char* VelkStringUtf8(unsigned id);
// The GBK text of a string id; empty when the table has no such id.
std::string VelkLoadString(unsigned id);
// The reason text of an alert reason code 0..13; empty for any other code.
std::string VelkReasonText(int reason);
