#include "host/gui/CHostMessageBox.h"

#include "platform/core/TextCodec.h"

int CHostMessageBox::Show(const std::string& textGbk, const std::string& captionGbk, unsigned flags)
{
    const bool yesNo = (flags & 0xF) == VelkMsgBox::kYesNo;
    if ((flags & 0xF0) == VelkMsgBox::kIconExclamation)
        ++m_nWarnings;
    const int answer = yesNo ? VelkMsgBox::kIdYes : VelkMsgBox::kIdOk;
    const std::string line = "message box [" + TextCodec::GbkToUtf8(captionGbk) + "] " +
                             TextCodec::GbkToUtf8(textGbk) + (yesNo ? " -> yes\n" : " -> ok\n");
    std::fwrite(line.data(), 1, line.size(), m_pLog);
    std::fflush(m_pLog);
    return answer;
}
