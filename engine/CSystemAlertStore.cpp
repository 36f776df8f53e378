#include "engine/CSystemAlertStore.h"

#include <cstdint>
#include <cstring>
#include <string_view>
#include <unordered_set>

#include "engine/CRecordFileMerge.h"
#include "hostapi/KQCommon.h"
#include "platform/core/CVelkFileLock.h"
#include "platform/core/VelkFile.h"

namespace {

constexpr std::size_t kHeaderSize = sizeof(Ta_SYSTEMSWITCH);
constexpr std::size_t kRecordSize = sizeof(Ta_VELKPRICEALERT);

std::size_t RecordCount(const std::string& bytes)
{
    return bytes.size() < kHeaderSize ? 0 : (bytes.size() - kHeaderSize) / kRecordSize;
}

// A record as stored: its texts are forced to end inside their fields before anyone forms a
// key from them or hands them to a window.
Ta_VELKPRICEALERT RecordAt(const std::string& bytes, std::size_t index)
{
    Ta_VELKPRICEALERT record{};
    std::memcpy(&record, bytes.data() + kHeaderSize + index * kRecordSize, kRecordSize);
    VelkTerminate(record.m_szCode);
    VelkTerminate(record.m_szName);
    return record;
}

void AppendBytes(std::string& out, const void* data, std::size_t size)
{
    out.append(static_cast<const char*>(data), size);
}

// Whether a stored record's key "%d%s" is the given one, without forming the record's key: a
// single add compares it with every record of a file that may hold a hundred thousand.
bool RecordHasKey(const char* record, const std::string& key)
{
    char market[4];
    unsigned value = static_cast<unsigned char>(record[0]);
    std::size_t digits = 0;
    do {
        market[3 - digits++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    const char* code = record + 1;
    const std::size_t codeLength = strnlen(code, sizeof(Ta_VELKPRICEALERT::m_szCode) - 1);
    return key.size() == digits + codeLength &&
           key.compare(0, digits, market + 4 - digits, digits) == 0 &&
           key.compare(digits, codeLength, code, codeLength) == 0;
}

} // namespace

CSystemAlertStore::CSystemAlertStore() : m_mapCode(17)
{
    m_switches.m_byNewHigh = 0;
    m_switches.m_byNewLow = 0;
    m_switches.m_byLimit = 1;
    m_switches.m_nRange = 2;
}

CSystemAlertStore::~CSystemAlertStore() = default;

void CSystemAlertStore::SetSystemPath(CString& path)
{
    m_strSysPath = path;
}

void CSystemAlertStore::SetAlertList(std::vector<Ta_VELKPRICEALERT>* engineList)
{
    m_mapCode.clear();
    if (engineList) {
        const std::size_t from = m_vecStock.size();
        m_vecStock.insert(m_vecStock.end(), engineList->begin(), engineList->end());
        AddCodes(m_vecStock, from, m_mapCode);
    }
    m_pEngineList = engineList;
}

int CSystemAlertStore::LoadSystemAlert()
{
    std::string bytes;
    if (!ReadFile(m_strSysPath, m_switches, m_vecStock, &bytes))
        return 0;
    m_strBasePath = FilePath(m_strSysPath);
    m_strBase = std::move(bytes);
    m_bHasBase = true;
    AddCodes(m_vecStock, 0, m_mapCode);
    return 1;
}

bool CSystemAlertStore::SaveSystemAlert()
{
    const bool joined = m_bHasBase && m_strBasePath == FilePath(m_strSysPath);
    std::string written;
    m_bSaveFailed =
        !WriteFile(m_strSysPath, m_switches, m_vecStock, joined ? &m_strBase : nullptr, &written);
    if (!m_bSaveFailed) {
        m_strBasePath = FilePath(m_strSysPath);
        m_strBase = std::move(written);
        m_bHasBase = true;
    }
    m_mapCode.clear();
    AddCodes(m_vecStock, 0, m_mapCode);
    return !m_bSaveFailed;
}

void CSystemAlertStore::AddCodes(const std::vector<Ta_VELKPRICEALERT>& records, std::size_t from,
                                 CKeyIndexMap& codes)
{
    for (std::size_t i = from; i < records.size(); ++i)
        codes.emplace(VelkFieldText(records[i].m_szCode), static_cast<int>(i));
}

bool CSystemAlertStore::ReadFile(const std::string& sysPath, Ta_SYSTEMSWITCH& switches,
                                 std::vector<Ta_VELKPRICEALERT>& records, std::string* raw)
{
    std::string bytes;
    if (!VelkReadFile(FilePath(sysPath), bytes))
        return false;
    // A header cut short says nothing reliable about the switches; they stay as they were.
    if (bytes.size() >= kHeaderSize)
        std::memcpy(&switches, bytes.data(), kHeaderSize);
    records.clear();
    const std::size_t count = RecordCount(bytes);
    records.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        records.push_back(RecordAt(bytes, i));
    if (raw)
        raw->swap(bytes);
    return true;
}

bool CSystemAlertStore::WriteFile(const std::string& sysPath, Ta_SYSTEMSWITCH& switches,
                                  std::vector<Ta_VELKPRICEALERT>& records, const std::string* base,
                                  std::string* written)
{
    std::string bytes;
    bytes.reserve(kHeaderSize + records.size() * kRecordSize);
    AppendBytes(bytes, &switches, kHeaderSize);
    for (const Ta_VELKPRICEALERT& record : records)
        AppendBytes(bytes, &record, kRecordSize);
    const std::string path = FilePath(sysPath);
    // An append of another writer is not cut in half by the rewrite, nor dropped by it.
    CVelkFileLock lock(CVelkFileLock::ForFileOf(path));
    std::string now;
    if (base && VelkReadFile(path, now)) {
        std::string merged;
        if (!CRecordFileMerge::Merge({kHeaderSize}, *base, bytes, now, merged))
            return VelkFileFailure(path + ": changed by another program since it was read, "
                                          "in the same stocks");
        if (merged != bytes) {
            bytes.swap(merged);
            if (bytes.size() >= kHeaderSize)
                std::memcpy(&switches, bytes.data(), kHeaderSize);
            records.clear();
            for (std::size_t i = 0; i < RecordCount(bytes); ++i)
                records.push_back(RecordAt(bytes, i));
        }
    }
    if (!VelkReplaceFile(path, bytes))
        return false;
    if (written)
        written->swap(bytes);
    return true;
}

int CSystemAlertStore::ApplyAlertList()
{
    if (m_pEngineList)
        *m_pEngineList = m_vecStock;
    return static_cast<int>(m_vecStock.size());
}

std::string CSystemAlertStore::FilePath(const std::string& sysPath)
{
    return VelkJoinPath(sysPath.empty() ? s_KQGetSysPath(0) : sysPath, "System_alert.cfg");
}

int CSystemAlertStore::ReadSystemAlertKeys(const std::string& sysPath, CKeyIndexMap& keys)
{
    keys.clear();
    std::string bytes;
    if (!VelkReadFile(FilePath(sysPath), bytes))
        return 0;
    std::size_t count = RecordCount(bytes);
    for (std::size_t i = 0; i < count; ++i) {
        Ta_VELKPRICEALERT record = RecordAt(bytes, i);
        keys.emplace(VelkDecimalKey(record.m_byMarket, VelkFieldText(record.m_szCode)),
                     static_cast<int>(i));
    }
    return 1;
}

bool CSystemAlertStore::FileHoldsKey(const std::string& sysPath, const std::string& key)
{
    bool held = false;
    VelkReadBlocks(FilePath(sysPath), kHeaderSize, kRecordSize, [&](const char* record) {
        held = RecordHasKey(record, key);
        return !held;
    });
    return held;
}

bool CSystemAlertStore::AppendRecord(const std::string& sysPath, const Ta_SYSTEMSWITCH& switches,
                                     const Ta_VELKPRICEALERT& record)
{
    const std::string path = FilePath(sysPath);
    std::uint64_t size = 0;
    if (VelkFileSize(path, size) && size >= kHeaderSize) {
        // Bytes of a record cut off at the end are overwritten so the new one starts on a
        // record boundary and loads back as written.
        const std::uint64_t end = kHeaderSize + (size - kHeaderSize) / kRecordSize * kRecordSize;
        return VelkWriteFileTail(
            path, end, std::string_view(reinterpret_cast<const char*>(&record), kRecordSize));
    }
    // Something that is there but is no file is not ours to overwrite.
    if (VelkFileExists(path) && !VelkFileSize(path, size))
        return false;
    // No file, or one without a whole header: appending after it would shift every record.
    std::string content;
    content.reserve(kHeaderSize + kRecordSize);
    AppendBytes(content, &switches, kHeaderSize);
    AppendBytes(content, &record, kRecordSize);
    return VelkReplaceFile(path, content);
}

bool CSystemAlertStore::AppendNewRecords(const std::string& sysPath,
                                         const Ta_SYSTEMSWITCH& switches,
                                         std::vector<Ta_VELKPRICEALERT>& records)
{
    const std::string path = FilePath(sysPath);
    std::string bytes;
    bool readable = VelkReadFile(path, bytes);
    // A file that is there but cannot be read counts as empty, but is not ours to overwrite.
    const bool writable = readable || !VelkFileExists(path);
    if (!readable)
        bytes.clear();

    std::unordered_set<std::string> held;
    const std::size_t stored = RecordCount(bytes);
    held.reserve(stored + records.size());
    for (std::size_t i = 0; i < stored; ++i) {
        const Ta_VELKPRICEALERT record = RecordAt(bytes, i);
        held.insert(VelkDecimalKey(record.m_byMarket, VelkFieldText(record.m_szCode)));
    }
    std::vector<Ta_VELKPRICEALERT> fresh;
    fresh.reserve(records.size());
    for (const Ta_VELKPRICEALERT& record : records) {
        if (held.insert(VelkDecimalKey(record.m_byMarket, VelkFieldText(record.m_szCode))).second)
            fresh.push_back(record);
    }
    records.swap(fresh);
    if (records.empty())
        return true;
    if (!writable)
        return false;

    std::string content;
    if (bytes.size() < kHeaderSize) {
        // No file, or one without a whole header: appending after it would shift every record.
        content.reserve(kHeaderSize + records.size() * kRecordSize);
        AppendBytes(content, &switches, kHeaderSize);
    } else {
        // A record cut off at the end is dropped, as by a single append.
        content.reserve(kHeaderSize + (stored + records.size()) * kRecordSize);
        content.assign(bytes, 0, kHeaderSize + stored * kRecordSize);
    }
    for (const Ta_VELKPRICEALERT& record : records)
        AppendBytes(content, &record, kRecordSize);
    return VelkReplaceFile(path, content);
}
