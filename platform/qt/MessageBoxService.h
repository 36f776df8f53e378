#pragma once

#include <string>

#include "VelkServices.h"

#include "VelkPlatformExport.h"

// The one message box service of the user interface. The real one shows a QMessageBox with the
// given text, caption, icon and buttons; tests install a recorder with scripted answers.
VELK_PLATFORM_API IVelkMessageBox& VelkMessageBoxService();

// Installs a service for the guard's lifetime and restores the previous one after.
class VELK_PLATFORM_API CScopedMessageBoxService {
public:
    explicit CScopedMessageBoxService(IVelkMessageBox& service);
    ~CScopedMessageBoxService();
    CScopedMessageBoxService(const CScopedMessageBoxService&) = delete;
    CScopedMessageBoxService& operator=(const CScopedMessageBoxService&) = delete;

private:
    IVelkMessageBox* m_pPrevious;
};

// A message box that always passes on to whichever service is installed at the time of the
// call; the engine holds this one, so a service installed later still takes its boxes.
VELK_PLATFORM_API IVelkMessageBox& VelkMessageBoxDispatcher();
