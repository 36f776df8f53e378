#include "host/feed/CFeedMessage.h"

void CFeedMessage::Clear()
{
    kind = Kind::Unknown;
    version = 0;
    tradeDate = 0;
    markets.clear();
    magicNames.clear();
    market = 0;
    code.clear();
    nameGbk.clear();
    prevClose = limitUp = limitDown = limitRatio = 0;
    decimals = 0;
    pinyin.clear();
    circulatingShares = fiveDayVolumePerMinute = 0;
    time = timeMillis = 0;
    price = volume = 0;
    priceDecimals = 0;
    cumulativeVolume = amount = -1;
    number = 0;
    userGbk.clear();
    groupGbk.clear();
    members.clear();
}
