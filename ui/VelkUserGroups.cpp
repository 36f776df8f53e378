#include "ui/VelkUserGroups.h"

#include "hostapi/KQBkApi.h"
#include "hostapi/QuoteItems.h"

namespace {

bool CurrentUserId(CString& userId)
{
    tag_UserInfo info;
    info.m_strUserID.clear();
    info.m_strUserName.clear();
    info.m_nUserLevel = 0;
    info.m_nFlags = 0;
    if (!DA_bGetUserInfo(info))
        return false;
    userId = info.m_strUserID;
    return true;
}

} // namespace

std::vector<CString> VelkUserGroupNames()
{
    CString userId;
    std::vector<CString> groups;
    if (!CurrentUserId(userId) || !DA_bGetSSVInfoByUserID(userId, groups))
        groups.clear();
    return groups;
}

std::vector<CGroupMember> VelkUserGroupMembers(const CString& group)
{
    CString userId;
    std::vector<CSymbolInfo> stocks;
    if (!CurrentUserId(userId) || !DA_bGetSymbolIDVecBySSVName(userId, group, stocks))
        return {};
    const std::vector<unsigned short> nameItem{QuoteItem::kName};
    std::vector<CGroupMember> members;
    members.reserve(stocks.size());
    for (const CSymbolInfo& stock : stocks) {
        std::vector<X1Format> values;
        if (!BK_bGetItemDataByItemNo(stock.m_byMarket, stock.m_strCode, nameItem, values, true,
                                     nullptr))
            continue;
        members.push_back(CGroupMember{stock.m_byMarket, stock.m_strCode,
                                       values.empty() ? CString() : values[0].s_GetAsString()});
    }
    return members;
}
