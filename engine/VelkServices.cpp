#include "engine/VelkServices.h"

#include <ctime>
#include <mutex>

namespace {

std::mutex g_servicesMutex;
CVelkServices g_registered;

} // namespace

void VelkRegisterServices(const CVelkServices& services)
{
    std::lock_guard<std::mutex> lock(g_servicesMutex);
    g_registered = services;
}

CVelkServices VelkRegisteredServices()
{
    std::lock_guard<std::mutex> lock(g_servicesMutex);
    return g_registered;
}

int CRecordingMessageBox::Show(const std::string& textGbk, const std::string& captionGbk,
                               unsigned flags)
{
    ++m_nCount;
    m_strLastText = textGbk;
    m_strLastCaption = captionGbk;
    m_nLastFlags = flags;
    return (flags & VelkMsgBox::kYesNo) ? VelkMsgBox::kIdYes : VelkMsgBox::kIdOk;
}

VelkLocalTime CSystemClock::Now() const
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    VelkLocalTime t;
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    t.second = local.tm_sec;
    return t;
}
