#include "host/feed/CReconnectBackoff.h"

#include <algorithm>

int CReconnectBackoff::Next()
{
    std::uniform_real_distribution<double> jitter(0.8, 1.2);
    const int wait = static_cast<int>(m_nStepMs * jitter(m_random));
    m_nStepMs = std::min(m_nStepMs * 2, kLongestMs);
    return std::min(wait, kLongestMs);
}
