#include "platform/core/TextCodec.h"

#include <cerrno>
#include <iconv.h>

namespace TextCodec {
namespace {

bool IsLead(unsigned char c)
{
    return c >= 0x81 && c <= 0xFE;
}

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// Opening a converter loads the character set tables, which costs far more than converting a
// stock name; each thread keeps one per direction and resets it before every use.
class CCachedConverter {
public:
    CCachedConverter(const char* to, const char* from) : m_cd(::iconv_open(to, from)) {}
    ~CCachedConverter()
    {
        if (m_cd != kNoConverter)
            ::iconv_close(m_cd);
    }
    CCachedConverter(const CCachedConverter&) = delete;
    CCachedConverter& operator=(const CCachedConverter&) = delete;

    iconv_t Reset()
    {
        if (m_cd != kNoConverter)
            ::iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        return m_cd;
    }

private:
    iconv_t m_cd;
};

iconv_t GbkToUtf8Converter()
{
    thread_local CCachedConverter converter("UTF-8", "GBK");
    return converter.Reset();
}

iconv_t Utf8ToGbkConverter()
{
    thread_local CCachedConverter converter("GBK", "UTF-8");
    return converter.Reset();
}

// One conversion through iconv. Undecodable input is replaced and skipped; a truncated
// multibyte character at the end is dropped.
std::string Convert(iconv_t cd, const std::string& input, const std::string& replacement,
                    std::size_t badInputStep)
{
    if (cd == kNoConverter)
        return {};
    std::string out;
    out.reserve(input.size() * 2);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char buffer[1024];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t r = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, sizeof buffer - outLeft);
        if (r != static_cast<std::size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        if (errno == EINVAL)
            break; // incomplete character at the end
        out += replacement;
        std::size_t step = badInputStep;
        if (step == 0) {
            // UTF-8 input: skip the whole bad sequence's first byte and its continuation bytes.
            step = 1;
            while (step < inLeft && (static_cast<unsigned char>(in[step]) & 0xC0) == 0x80)
                ++step;
        }
        if (step > inLeft)
            step = inLeft;
        in += step;
        inLeft -= step;
    }
    return out;
}

} // namespace

std::string GbkToUtf8(const std::string& gbk)
{
    return Convert(GbkToUtf8Converter(), gbk, "\xEF\xBF\xBD", 1);
}

std::string Utf8ToGbk(const std::string& utf8)
{
    return Convert(Utf8ToGbkConverter(), utf8, "?", 0);
}

bool IsValidGbk(const std::string& gbk)
{
    iconv_t cd = GbkToUtf8Converter();
    if (cd == kNoConverter)
        return false;
    char* in = const_cast<char*>(gbk.data());
    std::size_t inLeft = gbk.size();
    bool ok = true;
    char buffer[1024];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        if (::iconv(cd, &in, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) &&
            errno != E2BIG) {
            ok = false;
            break;
        }
    }
    return ok;
}

std::string CutGbk(const std::string& gbk, std::size_t maxBytes)
{
    if (gbk.size() <= maxBytes)
        return gbk;
    std::size_t end = 0;
    while (end < gbk.size()) {
        std::size_t width = IsLead(static_cast<unsigned char>(gbk[end])) ? 2 : 1;
        if (end + width > maxBytes)
            break;
        end += width;
    }
    return gbk.substr(0, end);
}

} // namespace TextCodec
