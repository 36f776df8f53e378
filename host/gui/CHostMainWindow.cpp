#include "host/gui/CHostMainWindow.h"

#include <cinttypes>
#include <string>

#include "hostapi/KQBkApi.h"
#include "platform/core/TextCodec.h"
#include "platform/qt/RegisteredMessages.h"

CHostMainWindow::CHostMainWindow(std::FILE* log)
    : m_pLog(log), m_nAnalyseMessage(VelkRegisterWindowMessage("MSG_ANALYSE")),
      m_nCommandMessage(VelkCommandMessage())
{
}

bool CHostMainWindow::event(QEvent* event)
{
    const int type = static_cast<int>(event->type());
    if (type == m_nAnalyseMessage) {
        auto* message = static_cast<CVelkMessageEvent*>(event);
        // The stock lives only for the duration of the send: it is read here and not kept.
        const auto* symbol = reinterpret_cast<const CSymbolInfo*>(message->lParam());
        if (symbol) {
            const unsigned market = symbol->m_byMarket;
            const std::string code = TextCodec::GbkToUtf8(symbol->m_strCode);
            std::fprintf(m_pLog, "analyse %u %s\n", market, code.c_str());
        } else {
            std::fputs("analyse without a stock\n", m_pLog);
        }
        std::fflush(m_pLog);
        message->m_result = 0;
        return true;
    }
    if (type == m_nCommandMessage) {
        auto* message = static_cast<CVelkMessageEvent*>(event);
        std::fprintf(m_pLog, "command %" PRIuMAX "\n",
                     static_cast<std::uintmax_t>(message->wParam()));
        std::fflush(m_pLog);
        return true;
    }
    return QWidget::event(event);
}
