#include <algorithm>
#include <cstring>

#include "engine/CVelkAlert.h"
#include "engine/CWatchIndex.h"
#include "platform/core/VelkFile.h"

namespace {

// Reads a watch record from raw file bytes; its texts are forced to end inside their fields
// before any key is formed from them.
Ta_VELKPRICEALERT RecordFromBytes(const char* bytes)
{
    Ta_VELKPRICEALERT record{};
    std::memcpy(&record, bytes, sizeof record);
    VelkTerminate(record.m_szCode);
    VelkTerminate(record.m_szName);
    return record;
}

// Fills a block from the file as far as the file reaches.
template <typename T> void ReadBlock(const std::string& bytes, std::size_t offset, T& block)
{
    if (offset >= bytes.size())
        return;
    std::size_t n = std::min(sizeof(T), bytes.size() - offset);
    std::memcpy(&block, bytes.data() + offset, n);
}

void AppendBytes(std::string& out, const void* data, std::size_t size)
{
    out.append(static_cast<const char*>(data), size);
}

constexpr std::size_t kRecordSize = sizeof(Ta_VELKPRICEALERT);
constexpr std::size_t kAlertHeaderSize = sizeof(Ta_ALERTSETTING) + sizeof(Ta_OTHERALERT);

} // namespace

void CVelkAlert::LoadDefaultCondition()
{
    m_alertSetting.m_bSound = 1;
    m_alertSetting.m_bNewHigh = 1;
    m_alertSetting.m_bNewLow = 1;
    m_alertSetting.m_bLimitPrice = 1;
    m_alertSetting.m_fRiseRatio = -1.0f;
    m_alertSetting.m_fFallRatio = -1.0f;
    m_alertSetting.m_fVolumeRatio = 50.0f;
    m_alertSetting.m_fSingleRatio = 2.0f;
    m_alertSetting.m_fLargeAmount = 100.0f;
    m_alertSetting.m_fLargeVolume = 0.1f;
}

int CVelkAlert::LoadAlertCondition()
{
    int result = 1;
    std::string bytes;
    if (VelkReadFile(ConditionPath("alert.cfg"), bytes)) {
        ReadBlock(bytes, 0, m_alertSetting);
        ReadBlock(bytes, sizeof(Ta_ALERTSETTING), m_otherAlert);
        VelkTerminate(m_otherAlert.m_szWavePath);
        std::size_t count =
            bytes.size() < kAlertHeaderSize ? 0 : (bytes.size() - kAlertHeaderSize) / kRecordSize;
        m_nPriceAlertCount = static_cast<std::int32_t>(count);
        m_vecPriceAlert.clear();
        m_vecPriceAlert.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            m_vecPriceAlert.push_back(
                RecordFromBytes(bytes.data() + kAlertHeaderSize + i * kRecordSize));
        m_pWatchIndex->RebuildPriceMap(count);
    } else {
        result = 0;
    }

    if (!VelkReadFile(ConditionPath("Magic.cfg"), bytes))
        return 0;
    std::size_t count = bytes.size() / kRecordSize;
    m_nMagicAlertCount = static_cast<std::int32_t>(count);
    m_vecMagicAlert.clear();
    m_vecMagicAlert.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        m_vecMagicAlert.push_back(RecordFromBytes(bytes.data() + i * kRecordSize));
    CWatchIndex::FillMap(m_mapMagicAlert, m_vecMagicAlert, count, VelkKeyFormat::kHex);
    return result;
}

bool CVelkAlert::SaveAlertCondition()
{
    return WriteConditionFiles().empty();
}

std::vector<std::string> CVelkAlert::WriteConditionFiles()
{
    std::vector<std::string> failed;
    // The count member is what the specified stocks page left; never more than the list holds.
    std::size_t count = std::min<std::size_t>(
        m_nPriceAlertCount > 0 ? static_cast<std::size_t>(m_nPriceAlertCount) : 0,
        m_vecPriceAlert.size());
    std::string bytes;
    bytes.reserve(kAlertHeaderSize + count * kRecordSize);
    AppendBytes(bytes, &m_alertSetting, sizeof m_alertSetting);
    AppendBytes(bytes, &m_otherAlert, sizeof m_otherAlert);
    for (std::size_t i = 0; i < count; ++i)
        AppendBytes(bytes, &m_vecPriceAlert[i], kRecordSize);
    m_pWatchIndex->RebuildPriceMap(count);
    // One file that cannot be written does not keep the other from being written.
    const std::string alertPath = ConditionPath("alert.cfg");
    if (!VelkReplaceFile(alertPath, bytes))
        failed.push_back(alertPath);

    bytes.clear();
    bytes.reserve(m_vecMagicAlert.size() * kRecordSize);
    for (const Ta_VELKPRICEALERT& record : m_vecMagicAlert)
        AppendBytes(bytes, &record, kRecordSize);
    CWatchIndex::FillMap(m_mapMagicAlert, m_vecMagicAlert, m_vecMagicAlert.size(),
                         VelkKeyFormat::kHex);
    const std::string magicPath = ConditionPath("Magic.cfg");
    if (!VelkReplaceFile(magicPath, bytes))
        failed.push_back(magicPath);
    return failed;
}
