#include "platform/qt/RegisteredMessages.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>
#include <map>
#include <mutex>
#include <string>

namespace {

std::mutex g_messagesMutex;

std::map<std::string, int>& Registry()
{
    static std::map<std::string, int> registry;
    return registry;
}

QPointer<QWidget>& MainWindow()
{
    static QPointer<QWidget> window;
    return window;
}

} // namespace

int VelkRegisterWindowMessage(const char* name)
{
    if (!name || !*name)
        return 0;
    std::lock_guard<std::mutex> lock(g_messagesMutex);
    auto [it, inserted] = Registry().try_emplace(name, 0);
    if (inserted)
        it->second = QEvent::registerEventType();
    return it->second;
}

void VelkSetMainWindow(QWidget* window)
{
    MainWindow() = window;
}

QWidget* VelkMainWindow()
{
    return MainWindow().data();
}

std::intptr_t VelkSendMessage(QObject* target, int message, std::uintptr_t wParam,
                              std::intptr_t lParam)
{
    if (!target || message <= 0)
        return 0;
    CVelkMessageEvent event(message, wParam, lParam);
    QCoreApplication::sendEvent(target, &event);
    return event.m_result;
}

bool VelkPostMessage(QObject* target, int message, std::uintptr_t wParam, std::intptr_t lParam)
{
    if (!target || message <= 0)
        return false;
    QCoreApplication::postEvent(target, new CVelkMessageEvent(message, wParam, lParam));
    return true;
}

int VelkCommandMessage()
{
    // A name no caller can register by accident, so the id is the command message's alone.
    static const int id = VelkRegisterWindowMessage("\x01WM_COMMAND");
    return id;
}
