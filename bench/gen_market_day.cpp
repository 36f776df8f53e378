// Writes a generated whole-market day for velk-host and bench_market_day:
//   velk-gen-market-day FOLDER [--stocks N] [--trades N] [--price-alerts N] [--seed N]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/CMarketDayGenerator.h"

namespace {

bool ParseCount(const char* text, long long& value)
{
    char* end = nullptr;
    value = std::strtoll(text, &end, 10);
    return end != text && *end == '\0' && value >= 0;
}

int Usage()
{
    std::fputs("usage: velk-gen-market-day FOLDER [--stocks N] [--trades N] [--price-alerts N] "
               "[--seed N]\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    CMarketDayGenerator::Shape shape;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        long long value = 0;
        if (arg.rfind("--", 0) == 0) {
            if (i + 1 >= argc || !ParseCount(argv[i + 1], value))
                return Usage();
            ++i;
            if (arg == "--stocks" && value >= 1 && value <= 100000)
                shape.stocks = static_cast<int>(value);
            else if (arg == "--trades")
                shape.trades = value;
            else if (arg == "--price-alerts" && value <= 100000)
                shape.priceAlerts = static_cast<int>(value);
            else if (arg == "--seed")
                shape.seed = static_cast<std::uint64_t>(value);
            else
                return Usage();
        } else if (folder.empty()) {
            folder = arg;
        } else {
            return Usage();
        }
    }
    if (folder.empty())
        return Usage();
    CMarketDayGenerator generator(shape);
    std::string error;
    if (!generator.Write(folder, error)) {
        std::fprintf(stderr, "velk-gen-market-day: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s written to %s\n", generator.Name().c_str(), folder.c_str());
    return 0;
}
