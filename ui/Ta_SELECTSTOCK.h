#pragma once

#include <string>

// The stock picked in the keyboard wizard. It holds a string, so it only ever travels inside
// the posted event that carries it (CSelectStockEvent), never as raw bytes.
struct Ta_SELECTSTOCK {
    unsigned char m_byMarket = 0;
    std::string m_strCode;
};
