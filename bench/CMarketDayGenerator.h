#pragma once

#include <cstdint>
#include <string>

// Writes a whole-market trading day as velk-host reads it, and the system directories a user
// would try it with. Everything follows from the shape, so the same shape always gives the
// same files byte for byte.
//
//   <folder>/day/      day.csv, markets.csv, symbols.csv, trades.csv (time order)
//   <folder>/watched/SYS/  every stock monitored (new high, new low, limit price), price
//                          alerts on some of them, no pop-up
//   <folder>/popup/SYS/    the same with the pop-up option on
//   <folder>/none/SYS/     nothing watched
class CMarketDayGenerator {
public:
    struct Shape {
        std::uint64_t seed = 20240102;
        int stocks = 5000; // split evenly over markets 1 (SH) and 2 (SZ)
        long long trades = 1'000'000;
        int priceAlerts = 1000; // on every (stocks / priceAlerts)-th stock
    };

    explicit CMarketDayGenerator(const Shape& shape) : m_shape(shape) {}

    // Writes the folder (created when missing); false with error set on any failure.
    bool Write(const std::string& folder, std::string& error) const;

    // The folder name that identifies a shape, e.g. "market-5000x1000000-s20240102".
    std::string Name() const;

    // True when folder holds a complete day written for this shape.
    bool IsWritten(const std::string& folder) const;

private:
    Shape m_shape;
};
