#include "res/VelkStringTable.h"

#include <array>
#include <mutex>
#include <unordered_map>

#include "platform/core/TextCodec.h"

namespace {

struct Entry {
    unsigned id;
    const char* text;
};

constexpr std::array kTable{
    Entry{61217, "该股票已经在列表中!"},
    Entry{61218, "股票代码"},
    Entry{61219, "股票名称"},
    Entry{61221, "上限价"},
    Entry{61222, "下限价"},
    Entry{61229, "股票名称"},
    Entry{61230, "时间"},
    Entry{61231, "价格"},
    Entry{61232, "成交量"},
    Entry{61233, "预警原因"},
    Entry{61352, "达到上限价"},
    Entry{61353, "达到下限价"},
    Entry{61354, "达到涨停价"},
    Entry{61355, "达到跌停价"},
    Entry{61356, "涨停板打开"},
    Entry{61357, "跌停板打开"},
    Entry{61358, "今日最高价"},
    Entry{61359, "今日最低价"},
    Entry{61360, "达到涨幅比率"},
    Entry{61361, "达到跌幅比率"},
    Entry{61362, "单比涨跌报警"},
    Entry{61363, "量比达到限制"},
    Entry{61364, "大金额成交"},
    Entry{61365, "大笔成交"},
    Entry{61821, "报警参数设置"},
};

} // namespace

const char* VelkStringUtf8(unsigned id)
{
    for (const Entry& entry : kTable) {
        if (entry.id == id)
            return entry.text;
    }
    return nullptr;
}

std::string VelkLoadString(unsigned id)
{
    // Converted once per id: reason texts are looked up on every alert.
    static std::mutex mutex;
    static std::unordered_map<unsigned, std::string> cache;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = cache.find(id);
    if (it != cache.end())
        return it->second;
    const char* utf8 = VelkStringUtf8(id);
    std::string gbk = utf8 ? TextCodec::Utf8ToGbk(utf8) : std::string();
    cache.emplace(id, gbk);
    return gbk;
}

std::string VelkReasonText(int reason)
{
    if (reason < 0 || reason > 13)
        return {};
    return VelkLoadString(VelkString::kReasonFirst + static_cast<unsigned>(reason));
}
