#include "platform/qt/ResourceSwitch.h"

#include <atomic>

namespace {

std::atomic<VelkResourceModule> g_current{VelkResourceModule::Host};

} // namespace

VelkResourceModule VelkCurrentResourceModule()
{
    return g_current.load();
}

CResourceSwitch::CResourceSwitch() : m_previous(g_current.exchange(VelkResourceModule::Module)) {}

CResourceSwitch::~CResourceSwitch()
{
    g_current.store(m_previous);
}
