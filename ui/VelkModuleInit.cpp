// The module's load-time initialiser: the registered messages, and the windows, message boxes
// and sound that every engine created from now on uses. Unloading the module withdraws them.

#include <QFont>
#include <QStringList>

#include "engine/VelkServices.h"
#include "platform/qt/CQueuedSound.h"
#include "platform/qt/CSdlSound.h"
#include "platform/qt/MessageBoxService.h"
#include "platform/qt/QtText.h"
#include "platform/qt/RegisteredMessages.h"
#include "ui/CVelkWindowing.h"

namespace {

struct CModuleInit {
    CModuleInit()
    {
        VelkRegisterWindowMessage("MSG_ANALYSE");
        VelkRegisterWindowMessage("KQMSG_INPUTCHANGESMYOL");
        VelkRegisterWindowMessage("KQMSG_INPUTCOMMAND");
        // The dialog templates ask for 宋体, which Debian does not have.
        QFont::insertSubstitutions(VelkFromUtf8("宋体"),
                                   QStringList{QStringLiteral("WenQuanYi Micro Hei"),
                                               QStringLiteral("Noto Sans CJK SC"),
                                               QStringLiteral("AR PL UMing CN")});
        CVelkServices services;
        services.pWindowing = &windowing;
        services.pMessageBox = &VelkMessageBoxDispatcher();
        services.pSound = &queuedSound;
        VelkRegisterServices(services);
    }
    ~CModuleInit() { VelkRegisterServices(CVelkServices{}); }

    CVelkWindowing windowing;
    CSdlSound sound;
    // Declared after the device sound: it goes first, and its thread with it.
    CQueuedSound queuedSound{sound, [this] { sound.Interrupt(); }};
};

CModuleInit g_moduleInit;

} // namespace
