#pragma once

#include <string>
#include <vector>

#include "CVelkAlert.h"
#include "VelkRecords.h"

// The monitored-stock list of the system alert page and its file System_alert.cfg
// (7 switch bytes, then 151-byte records). Start uses it without a window; the page derives
// from it, so the file routines exist once.
class CSystemAlertStore {
public:
    CSystemAlertStore();
    virtual ~CSystemAlertStore();

    void SetSystemPath(CString& path);
    void SetAlertList(std::vector<Ta_VELKPRICEALERT>* engineList);
    int LoadSystemAlert();
    void SaveSystemAlert();
    int ApplyAlertList();

    // "<dir>/System_alert.cfg" for a system path, or the common library's path when empty.
    static std::string FilePath(const std::string& sysPath);
    // Keys "%d%s" of the records in the file; 0 when the file cannot be read.
    static int ReadSystemAlertKeys(const std::string& sysPath, CKeyIndexMap& keys);
    // Appends one record; a missing file (or one shorter than its header) is written whole
    // with the given switches first. Returns false when nothing could be written.
    static bool AppendRecord(const std::string& sysPath, const Ta_SYSTEMSWITCH& switches,
                             const Ta_VELKPRICEALERT& record);

    Ta_SYSTEMSWITCH m_switches;
    std::vector<Ta_VELKPRICEALERT> m_vecStock;
    CKeyIndexMap m_mapCode;
    CString m_strSysPath;
    std::vector<Ta_VELKPRICEALERT>* m_pEngineList = nullptr;
};
