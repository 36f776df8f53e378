#pragma once

#include <gmock/gmock.h>

#include "hostlibs/IHostBackend.h"

// A double for every call of the host libraries. Install it with CScopedHostBackend.
class MockHostBackend : public IHostBackend {
public:
    MOCK_METHOD(bool, GetItemDataByItemNo,
                (unsigned char, const CString&, const std::vector<unsigned short>&,
                 std::vector<X1Format>&, bool),
                (override));
    MOCK_METHOD(int, SymbolRegister, (std::vector<CSymbolInfo>&, std::vector<CSymbolInfo>&),
                (override));
    MOCK_METHOD(long, GetTickerCount, (unsigned char, const CString&, const CString&), (override));
    MOCK_METHOD(long, GetTickerByStartPos,
                (std::vector<std::vector<X1Format>>&, unsigned char, const CString&, long, long,
                 const CString&),
                (override));
    MOCK_METHOD(bool, GetMarketStatus, (unsigned char, const CString&, CMarketStatus&), (override));
    MOCK_METHOD(bool, GetMemoryState, (unsigned char, const CString&), (override));
    MOCK_METHOD(long, GetLastMagic,
                (std::vector<std::vector<X1Format>>&, unsigned char, long, const CString&),
                (override));
    MOCK_METHOD(bool, GetMagicNo, (std::vector<CString>&, std::vector<CString>&), (override));
    MOCK_METHOD(bool, GetSymbolFullName, (CString&, unsigned char, const CString&), (override));
    MOCK_METHOD(bool, GetServiceExName, (CString&, unsigned char), (override));
    MOCK_METHOD(unsigned char, GetServiceIDByExName, (const CString&), (override));
    MOCK_METHOD(bool, GetSymbolID, (std::vector<CString>&, std::vector<CString>&, unsigned char),
                (override));
    MOCK_METHOD(bool, GetUserInfo, (tag_UserInfo&), (override));
    MOCK_METHOD(bool, GetSSVInfoByUserID, (const CString&, std::vector<CString>&), (override));
    MOCK_METHOD(bool, GetSymbolIDVecBySSVName,
                (const CString&, const CString&, std::vector<CSymbolInfo>&), (override));
    MOCK_METHOD(bool, DaGetMarketStatus, (unsigned char, CMarketStatus&), (override));
    MOCK_METHOD(unsigned char, ConvertToLevel1ServiceID, (unsigned char), (override));
    MOCK_METHOD(bool, GetAllServiceID, (std::vector<unsigned char>&), (override));
    MOCK_METHOD(CString, GetSysPath, (unsigned char), (override));
    MOCK_METHOD(CString, GetLangString, (const CString&), (override));
};
