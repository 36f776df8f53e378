#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// One line of the live feed, as the parser leaves it: the fields of its kind are set, texts are
// GBK, the others keep their defaults. The parser reuses one message for every line, so that a
// busy feed allocates nothing per trade.
struct CFeedMessage {
    enum class Kind { Hello, Symbol, Trade, Signal, Group, Heartbeat, End, Unknown };
    struct Market {
        unsigned char market = 0;
        std::string extGbk;
        unsigned char level1 = 0;
    };
    struct MagicName {
        std::int32_t number = 0;
        std::string nameGbk;
    };

    Kind kind = Kind::Unknown;

    // hello
    int version = 0;
    int tradeDate = 0; // yyyymmdd
    std::vector<Market> markets;
    std::vector<MagicName> magicNames;

    // symbol, trade, signal
    unsigned char market = 0;
    std::string code;

    // symbol
    std::string nameGbk;
    double prevClose = 0;
    double limitUp = 0;
    double limitDown = 0;
    double limitRatio = 0; // limits from the previous close when the prices are not given
    int decimals = 0;      // 0: not given
    std::string pinyin;
    double circulatingShares = 0;
    double fiveDayVolumePerMinute = 0;

    // trade, signal, heartbeat: time of day
    int time = 0;       // seconds since midnight
    int timeMillis = 0; // milliseconds since midnight, for the order of one stock's trades
    double price = 0;
    int priceDecimals = 0;        // of price as written
    double volume = 0;            // shares of this trade
    double cumulativeVolume = -1; // -1: not given
    double amount = -1;

    // signal
    std::int32_t number = 0;

    // group
    std::string userGbk;
    std::string groupGbk;
    std::vector<std::pair<unsigned char, std::string>> members;

    // Back to the defaults, keeping the room the texts and lists have.
    void Clear();
};
