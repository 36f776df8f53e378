#include "platform/qt/MessageBoxService.h"

#include <atomic>

#include "platform/qt/CQtMessageBox.h"

namespace {

IVelkMessageBox& RealMessageBox()
{
    static CQtMessageBox box;
    return box;
}

std::atomic<IVelkMessageBox*> g_service{nullptr};

class CDispatchingMessageBox final : public IVelkMessageBox {
public:
    int Show(const std::string& textGbk, const std::string& captionGbk, unsigned flags) override
    {
        return VelkMessageBoxService().Show(textGbk, captionGbk, flags);
    }
};

} // namespace

IVelkMessageBox& VelkMessageBoxService()
{
    IVelkMessageBox* service = g_service.load();
    return service ? *service : RealMessageBox();
}

IVelkMessageBox& VelkMessageBoxDispatcher()
{
    static CDispatchingMessageBox dispatcher;
    return dispatcher;
}

CScopedMessageBoxService::CScopedMessageBoxService(IVelkMessageBox& service)
    : m_pPrevious(g_service.exchange(&service))
{
}

CScopedMessageBoxService::~CScopedMessageBoxService()
{
    g_service.store(m_pPrevious);
}
