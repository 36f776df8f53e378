#pragma once

#include <QString>
#include <string>

class QLineEdit;

// The framework's exchange of numbers between edit boxes and members, shared by the dialogs
// and pages that edit prices and ratios.

// A float as an edit box shows it: %g with float precision ("0.1", "50", "9999").
QString VelkFormatFloat(float value);

// The framework's float parse: blanks around the number are allowed, anything else is not, and
// a zero only counts when the text starts with a '0'. NaN and infinities are refused.
bool VelkParseFloat(const std::string& text, float& value);

// Reads a float from an edit box and checks it against [fMin, fMax]. A text that is no number
// leaves fValue alone; a number out of range is stored and then refused, as the framework's
// range check runs after the exchange. A refusal shows the framework's message with the
// application's caption and puts the focus, all text selected, in the box.
bool VelkExchangeFloat(QLineEdit* pBox, float& fValue, float fMin, float fMax);
