#pragma once

#include <QEvent>
#include <cstdint>

#include "VelkPlatformExport.h"

class QObject;
class QWidget;

// Window messages registered by name, process-wide: the same name always gives the same id,
// and ids are custom Qt event types. A message carries wParam and lParam like the platform's.
VELK_PLATFORM_API int VelkRegisterWindowMessage(const char* name);

class CVelkMessageEvent : public QEvent {
public:
    CVelkMessageEvent(int message, std::uintptr_t wParam, std::intptr_t lParam)
        : QEvent(static_cast<QEvent::Type>(message)), m_wParam(wParam), m_lParam(lParam)
    {
    }
    std::uintptr_t wParam() const { return m_wParam; }
    std::intptr_t lParam() const { return m_lParam; }
    // The receiver's answer to a sent message.
    std::intptr_t m_result = 0;

private:
    std::uintptr_t m_wParam;
    std::intptr_t m_lParam;
};

// The host's main window, which owns the module's windows and receives its messages.
VELK_PLATFORM_API void VelkSetMainWindow(QWidget* window);
VELK_PLATFORM_API QWidget* VelkMainWindow();

// Delivered at once; returns the receiver's result (0 when there is no receiver).
VELK_PLATFORM_API std::intptr_t VelkSendMessage(QObject* target, int message, std::uintptr_t wParam,
                                                std::intptr_t lParam);
// Queued; false when there is no receiver.
VELK_PLATFORM_API bool VelkPostMessage(QObject* target, int message, std::uintptr_t wParam,
                                       std::intptr_t lParam);

// The event type of WM_COMMAND as the module posts it to the host (command id in wParam).
VELK_PLATFORM_API int VelkCommandMessage();
