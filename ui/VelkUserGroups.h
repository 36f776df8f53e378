#pragma once

#include <vector>

#include "hostapi/KQDaApi.h"

// The current user's self-selected stock groups, as the account service keeps them. Every
// query's result is checked: a user, group or name that cannot be read adds nothing.

struct CGroupMember {
    unsigned char m_byMarket = 0;
    CString m_strCode;
    // The quote service's name item; empty when it answered without a value.
    CString m_strName;
};

// The names of the current user's groups; none when the user or the groups cannot be read.
std::vector<CString> VelkUserGroupNames();

// The stocks of one of the current user's groups, in the group's order; a stock whose name
// query fails is left out.
std::vector<CGroupMember> VelkUserGroupMembers(const CString& group);
