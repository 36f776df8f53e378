#pragma once

// Quote item numbers that the module requests or picks out of rows.
namespace QuoteItem {
constexpr unsigned short kLastPrice = 125;
// The day's first trade price and the money traded so far (price times shares, summed); no
// data before the stock's first trade.
constexpr unsigned short kOpenPrice = 126;
constexpr unsigned short kPrevClose = 129;
constexpr unsigned short kDayHigh = 130;
constexpr unsigned short kDayLow = 131;
constexpr unsigned short kLimitUp = 132;
constexpr unsigned short kLimitDown = 133;
constexpr unsigned short kTime = 143;
constexpr unsigned short kSecondPrice = 182;
constexpr unsigned short kMagicExtra = 184;
constexpr unsigned short kMagicVolume = 410;
constexpr unsigned short kVolume = 413;
constexpr unsigned short kAmount = 414;
// The quote service's data of a stock beyond its trades: the average volume per minute of
// trading over the last five days (shares) and the circulating shares. No data where unknown.
constexpr unsigned short kFiveDayVolumePerMinute = 415;
constexpr unsigned short kCirculatingShares = 1120;
constexpr unsigned short kCode = 1018;
constexpr unsigned short kName = 1019;
// The pinyin initials of the name where the source gives them (text); no data otherwise.
constexpr unsigned short kPinyin = 1020;
constexpr unsigned short kMagicNumber = 1994;
} // namespace QuoteItem
