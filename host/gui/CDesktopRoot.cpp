#include "host/gui/CDesktopRoot.h"

#include <QCoreApplication>

#include "host/core/CScratchRoot.h"
#include "platform/core/CVelkFileLock.h"
#include "platform/core/VelkFile.h"
#include "platform/qt/MessageBoxService.h"
#include "platform/qt/QtText.h"

CDesktopRoot::CDesktopRoot() = default;
CDesktopRoot::~CDesktopRoot() = default;

std::string CDesktopRoot::LockPath(const std::string& sysDir)
{
    return VelkJoinPath(sysDir, "velk-host.lock");
}

CDesktopRoot::Access CDesktopRoot::Open(const std::string& userRoot, bool pictures)
{
    bool readOnly = false;
    if (!pictures) {
        m_pLock = std::make_unique<CVelkFileLock>(LockPath(VelkJoinPath(userRoot, "SYS")),
                                                  CVelkFileLock::Mode::Try);
        readOnly = m_pLock->Busy();
        if (readOnly &&
            VelkMessageBoxService().Show(
                VelkToGbk(QCoreApplication::translate("CDesktopRoot",
                                                      "另一个 velk-host 正在使用数据目录 ") +
                          QString::fromStdString(userRoot) +
                          QCoreApplication::translate(
                              "CDesktopRoot",
                              "。\n以只读方式打开吗? 本次运行的改动不会保存。\n选“否”退出。")),
                VelkToGbk(QCoreApplication::translate("CDesktopRoot", "警告")),
                VelkMsgBox::kYesNo | VelkMsgBox::kIconExclamation) != VelkMsgBox::kIdYes)
            return Access::Refused;
    }
    // Pictures never change what the user keeps, nor does a window opened read-only beside
    // another velk-host: both work on a copy of the data directory.
    if (pictures || readOnly) {
        m_pScratch = std::make_unique<CScratchRoot>(userRoot);
        if (m_pScratch->Path().empty()) {
            m_strError = m_pScratch->Error();
            return Access::Failed;
        }
        m_strRoot = m_pScratch->Path();
        return pictures ? Access::Pictures : Access::ReadOnly;
    }
    m_strRoot = userRoot;
    return Access::Own;
}
