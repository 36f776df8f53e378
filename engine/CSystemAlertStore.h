#pragma once

#include <string>
#include <vector>

#include "engine/CVelkAlert.h"
#include "engine/VelkRecords.h"

// The monitored-stock list and its file System_alert.cfg (7 switch bytes, then 151-byte
// records). Start uses it without a window; the system alert page reads the file through
// ReadFile, and the engine writes what the page committed through WriteFile, so the file
// routines exist once.
class CSystemAlertStore {
public:
    CSystemAlertStore();
    virtual ~CSystemAlertStore();

    void SetSystemPath(CString& path);
    void SetAlertList(std::vector<Ta_VELKPRICEALERT>* engineList);
    int LoadSystemAlert();
    // False when the file could not be written; it then holds what it held. The outcome also
    // stays in m_bSaveFailed for whoever runs the page. After a load, the save is joined with
    // what another writer stored since (stocks it added or removed, switches it changed); where
    // both changed the same record or the switches differently nothing is written and false is
    // returned. The list then holds what the file holds.
    bool SaveSystemAlert();
    int ApplyAlertList();

    // Enters the code of every record from index from on with its index, where the code is not
    // entered yet: the map tests membership by the code alone.
    static void AddCodes(const std::vector<Ta_VELKPRICEALERT>& records, std::size_t from,
                         CKeyIndexMap& codes);
    // Reads the switches and records of the file; false (and nothing changed) when it cannot
    // be read. A header cut short leaves the switches as they were. raw, when given, receives
    // the bytes as read: the base a later WriteFile joins another writer's changes against.
    static bool ReadFile(const std::string& sysPath, Ta_SYSTEMSWITCH& switches,
                         std::vector<Ta_VELKPRICEALERT>& records, std::string* raw = nullptr);
    // Rewrites the file whole under the folder's lock; false when it could not be written (it
    // then holds what it held). With a base, what another program stored since that base was
    // read is joined in and switches and records become what was written; where both changed
    // the same record or the switches differently nothing is written and false is returned.
    // written, when given, receives the bytes written.
    static bool WriteFile(const std::string& sysPath, Ta_SYSTEMSWITCH& switches,
                          std::vector<Ta_VELKPRICEALERT>& records,
                          const std::string* base = nullptr, std::string* written = nullptr);

    // "<dir>/System_alert.cfg" for a system path, or the common library's path when empty.
    static std::string FilePath(const std::string& sysPath);
    // Keys "%d%s" of the records in the file; 0 when the file cannot be read.
    static int ReadSystemAlertKeys(const std::string& sysPath, CKeyIndexMap& keys);
    // Whether the file holds a record with the key "%d%s"; a file that cannot be read holds none.
    static bool FileHoldsKey(const std::string& sysPath, const std::string& key);
    // Appends one record after the whole records of the file, over a record cut off at its end,
    // without rewriting the rest; a missing file (or one shorter than its header) is written
    // whole with the given switches first. Returns false when nothing could be written.
    static bool AppendRecord(const std::string& sysPath, const Ta_SYSTEMSWITCH& switches,
                             const Ta_VELKPRICEALERT& record);
    // Keeps in records only the stocks the file does not hold yet (a stock twice in records
    // counts once) and writes those with one replace of the file. Returns false when the file
    // could not be written.
    static bool AppendNewRecords(const std::string& sysPath, const Ta_SYSTEMSWITCH& switches,
                                 std::vector<Ta_VELKPRICEALERT>& records);

    Ta_SYSTEMSWITCH m_switches;
    std::vector<Ta_VELKPRICEALERT> m_vecStock;
    CKeyIndexMap m_mapCode;
    CString m_strSysPath;
    std::vector<Ta_VELKPRICEALERT>* m_pEngineList = nullptr;
    bool m_bSaveFailed = false;

private:
    // The file's bytes as last loaded or saved, with the path they belong to.
    std::string m_strBasePath;
    std::string m_strBase;
    bool m_bHasBase = false;
};
