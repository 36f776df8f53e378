#pragma once

#include "platform/qt/VelkPlatformExport.h"

// The framework's current resource module: windows the module creates take their templates,
// bitmap and strings from the module only while it is switched to the module.
enum class VelkResourceModule { Host, Module };

VELK_PLATFORM_API VelkResourceModule VelkCurrentResourceModule();

// Switches the current resource module to the module's own and restores the previous one on
// every path out of the scope.
class VELK_PLATFORM_API CResourceSwitch {
public:
    CResourceSwitch();
    ~CResourceSwitch();
    CResourceSwitch(const CResourceSwitch&) = delete;
    CResourceSwitch& operator=(const CResourceSwitch&) = delete;

private:
    VelkResourceModule m_previous;
};
