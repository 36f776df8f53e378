#pragma once

#include <chrono>
#include <cstdio>
#include <memory>

#include "engine/VelkServices.h"
#include "host/gui/CHostMainWindow.h"
#include "host/gui/CHostMessageBox.h"
#include "platform/qt/MessageBoxService.h"

class QApplication;

// The Qt side of a headless run: the application object on the offscreen platform, the main
// window the module's windows belong to, and message boxes that answer without waiting. It
// must outlive every engine of the run; it is torn down in the reverse order of set-up.
class CQtHostSession {
public:
    // Chooses the offscreen platform when QT_QPA_PLATFORM does not name one. argc and argv
    // must outlive the session, as the application object keeps them. The main window's
    // requests and the message boxes are written to log.
    CQtHostSession(int& argc, char** argv, std::FILE* log);
    ~CQtHostSession();

    CQtHostSession(const CQtHostSession&) = delete;
    CQtHostSession& operator=(const CQtHostSession&) = delete;

    // Delivers what has been posted so far (the settings command, repaints) and returns.
    void ProcessEvents();
    // The same once a frame has passed since the last delivery, as the quote application's
    // event loop gets its turn between quotes; cheap enough to call after every quote. True
    // when a frame had passed, so that a caller's own work once a frame needs no clock of its own.
    bool ProcessEventsEachFrame();

    // How many warnings the message boxes of the run gave.
    int Warnings() const { return m_messageBox.Warnings(); }

    // The services the module registered when it loaded, without the sound when silent.
    static CVelkServices EngineServices(bool silent);

    // Leaves out the offscreen platform's complaints of what a screenless run cannot have (a
    // window to raise, a focus to activate): they would come once per alert and bury the
    // host's own messages. Everything else goes through.
    static void QuietOffscreenPlatform();

private:
    std::unique_ptr<QApplication> m_pApplication;
    std::unique_ptr<CHostMainWindow> m_pMainWindow;
    CHostMessageBox m_messageBox;
    std::unique_ptr<CScopedMessageBoxService> m_pMessageBoxScope;
    std::chrono::steady_clock::time_point m_lastEvents;
};
