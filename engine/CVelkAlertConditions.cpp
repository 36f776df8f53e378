#include <algorithm>
#include <cstring>

#include "engine/CRecordFileMerge.h"
#include "engine/CVelkAlert.h"
#include "engine/CWatchIndex.h"
#include "platform/core/CVelkFileLock.h"
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
// Follows the name of a file whose save another program's changes to the same settings kept
// from being written.
const std::string kChangedElsewhere = "  (其他程序已修改)";

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
    const std::string alertPath = ConditionPath("alert.cfg");
    if (VelkReadFile(alertPath, bytes)) {
        ApplyAlertFile(bytes);
        m_mapConditionBase[alertPath] = bytes;
    } else {
        result = 0;
        // A missing file was read as empty; one that is there but unreadable is no ground to
        // join with.
        if (VelkFileExists(alertPath))
            m_mapConditionBase.erase(alertPath);
        else
            m_mapConditionBase[alertPath].clear();
    }

    const std::string magicPath = ConditionPath("Magic.cfg");
    if (!VelkReadFile(magicPath, bytes)) {
        if (VelkFileExists(magicPath))
            m_mapConditionBase.erase(magicPath);
        else
            m_mapConditionBase[magicPath].clear();
        return 0;
    }
    ApplyMagicFile(bytes);
    m_mapConditionBase[magicPath] = bytes;
    return result;
}

void CVelkAlert::ApplyAlertFile(const std::string& bytes)
{
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
}

void CVelkAlert::ApplyMagicFile(const std::string& bytes)
{
    std::size_t count = bytes.size() / kRecordSize;
    m_nMagicAlertCount = static_cast<std::int32_t>(count);
    m_vecMagicAlert.clear();
    m_vecMagicAlert.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        m_vecMagicAlert.push_back(RecordFromBytes(bytes.data() + i * kRecordSize));
    CWatchIndex::FillMap(m_mapMagicAlert, m_vecMagicAlert, count, VelkKeyFormat::kHex);
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
    std::string written;
    bool conflict = false;
    if (!StoreConditionFile(alertPath, {sizeof(Ta_ALERTSETTING), sizeof(Ta_OTHERALERT)}, bytes,
                            written, conflict))
        failed.push_back(conflict ? alertPath + kChangedElsewhere : alertPath);
    else if (written != bytes)
        ApplyAlertFile(written);

    bytes.clear();
    bytes.reserve(m_vecMagicAlert.size() * kRecordSize);
    for (const Ta_VELKPRICEALERT& record : m_vecMagicAlert)
        AppendBytes(bytes, &record, kRecordSize);
    CWatchIndex::FillMap(m_mapMagicAlert, m_vecMagicAlert, m_vecMagicAlert.size(),
                         VelkKeyFormat::kHex);
    const std::string magicPath = ConditionPath("Magic.cfg");
    if (!StoreConditionFile(magicPath, {}, bytes, written, conflict))
        failed.push_back(conflict ? magicPath + kChangedElsewhere : magicPath);
    else if (written != bytes)
        ApplyMagicFile(written);
    return failed;
}

bool CVelkAlert::StoreConditionFile(const std::string& path,
                                    const std::vector<std::size_t>& headerBlocks,
                                    const std::string& ours, std::string& written, bool& conflict)
{
    conflict = false;
    // Another program (or another engine of this one) may save the same file: the read of what
    // it holds now and the write that follows are one step for all of them.
    CVelkFileLock lock(CVelkFileLock::ForFileOf(path));
    auto base = m_mapConditionBase.find(path);
    std::string now;
    const bool readable = VelkReadFile(path, now);
    if (base != m_mapConditionBase.end() && (readable || !VelkFileExists(path))) {
        std::string merged;
        if (!CRecordFileMerge::Merge(headerBlocks, base->second, ours, now, merged)) {
            // The other's settings stay in the file; ours stay in force for this run.
            conflict = true;
            return VelkFileFailure(path + ": changed by another program since it was read, "
                                          "in the same settings");
        }
        written.swap(merged);
    } else {
        written = ours;
    }
    if (!VelkReplaceFile(path, written))
        return false;
    m_mapConditionBase[path] = written;
    return true;
}
