#include "host/core/CBackgroundDisposal.h"

CBackgroundDisposal::~CBackgroundDisposal()
{
    Wait();
}

void CBackgroundDisposal::Wait()
{
    if (m_thread.joinable())
        m_thread.join();
}
