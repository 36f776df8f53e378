#pragma once

#include "engine/VelkServices.h"
#include "platform/qt/VelkPlatformExport.h"

// The message box the user sees: a modal QMessageBox over the active window.
class VELK_PLATFORM_API CQtMessageBox final : public IVelkMessageBox {
public:
    int Show(const std::string& textGbk, const std::string& captionGbk, unsigned flags) override;
};
