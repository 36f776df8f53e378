#pragma once

#include <vector>

#include "KQApiExport.h"
#include "KQBkApi.h"
#include "KQCommon.h"

struct KQ_API tag_UserInfo {
    CString m_strUserID;
    CString m_strUserName;
    int m_nUserLevel = 0;
    int m_nFlags = 0;
};

KQ_API bool DA_bGetUserInfo(tag_UserInfo& info);
KQ_API bool DA_bGetSSVInfoByUserID(CString userID, std::vector<CString>& groups);
KQ_API bool DA_bGetSymbolIDVecBySSVName(CString userID, CString group,
                                        std::vector<CSymbolInfo>& stocks);
KQ_API bool DA_bGetMarketStatus(unsigned char market, CMarketStatus& status);
KQ_API unsigned char DA_byConvert2Level1ServiceID(const unsigned char& market);
KQ_API bool DA_bGetAllServiceID(std::vector<unsigned char>& markets);
