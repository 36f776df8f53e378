#include "engine/CAlertDayFile.h"

#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "platform/core/CVelkFileLock.h"
#include "platform/core/VelkFile.h"

namespace {

constexpr std::size_t kRecordsPerWrite = 512;

} // namespace

std::string CAlertDayFile::PathFor(const std::string& dir, int tradeDate)
{
    char name[64];
    std::snprintf(name, sizeof name, "%04d%02d%02d.alt", tradeDate / 10000, tradeDate % 10000 / 100,
                  tradeDate % 100);
    return VelkJoinPath(dir, name);
}

bool CAlertDayFile::Load(const std::string& path, CAlertRecordList& alerts)
{
    std::string bytes;
    if (!VelkReadFile(path, bytes))
        return false;
    AppendRecords(bytes, alerts);
    return true;
}

std::size_t CAlertDayFile::AppendRecords(std::string_view bytes, CAlertRecordList& alerts)
{
    const std::size_t count = bytes.size() / sizeof(Ta_ALERTRECORD);
    for (std::size_t i = 0; i < count; ++i) {
        Ta_ALERTRECORD record{};
        std::memcpy(&record, bytes.data() + i * sizeof record, sizeof record);
        // The texts of a damaged file end inside their fields before anyone copies them.
        VelkTerminate(record.m_szCode);
        VelkTerminate(record.m_szName);
        VelkTerminate(record.m_szReason);
        alerts.push_back(record);
    }
    return count;
}

bool CAlertDayFile::SaveMerged(const std::string& path, const CAlertRecordList& alerts,
                               std::string_view loadedBytes)
{
    CVelkFileLock lock(CVelkFileLock::ForFileOf(path));
    std::string current;
    if (!VelkReadFile(path, current) || current == loadedBytes)
        return Save(path, alerts);
    constexpr std::size_t kSize = sizeof(Ta_ALERTRECORD);
    std::unordered_map<std::string_view, int> known;
    for (std::size_t at = 0; at + kSize <= loadedBytes.size(); at += kSize)
        ++known[loadedBytes.substr(at, kSize)];
    CAlertRecordList merged;
    const std::string_view now(current);
    for (std::size_t at = 0; at + kSize <= now.size(); at += kSize) {
        auto seen = known.find(now.substr(at, kSize));
        if (seen != known.end() && seen->second > 0) {
            --seen->second;
            continue;
        }
        AppendRecords(now.substr(at, kSize), merged);
    }
    if (merged.empty())
        return Save(path, alerts);
    merged.insert(merged.end(), alerts.begin(), alerts.end());
    return Save(path, merged);
}

bool CAlertDayFile::Save(const std::string& path, const CAlertRecordList& alerts)
{
    // The bytes of a cut-off record were not loaded and would be gone with the rewrite. When
    // they cannot be kept (a folder that takes no new files) the day's alerts are written all
    // the same: they weigh more than a record that no longer reads.
    std::uint64_t size = 0;
    if (VelkFileSize(path, size) && size % sizeof(Ta_ALERTRECORD) != 0)
        VelkKeepCopy(path, DamagedPath(path));
    // The records are not contiguous; they go out in pieces, so that a day of a million alerts
    // needs no second copy in memory.
    return VelkReplaceFile(path, [&alerts](IByteSink& sink) {
        constexpr std::size_t kPieceBytes = kRecordsPerWrite * sizeof(Ta_ALERTRECORD);
        std::string piece;
        piece.reserve(kPieceBytes);
        for (const Ta_ALERTRECORD& record : alerts) {
            piece.append(reinterpret_cast<const char*>(&record), sizeof record);
            if (piece.size() >= kPieceBytes) {
                if (!sink.Write(piece.data(), piece.size()))
                    return false;
                piece.clear();
            }
        }
        return piece.empty() || sink.Write(piece.data(), piece.size());
    });
}

std::string CAlertDayFile::DamagedPath(const std::string& path)
{
    return path + ".damaged";
}
