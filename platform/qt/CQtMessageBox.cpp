#include "platform/qt/CQtMessageBox.h"

#include <QApplication>
#include <QMessageBox>

#include "platform/qt/QtText.h"

int CQtMessageBox::Show(const std::string& textGbk, const std::string& captionGbk, unsigned flags)
{
    QMessageBox box(QApplication::activeWindow());
    box.setText(VelkFromGbk(textGbk));
    box.setWindowTitle(VelkFromGbk(captionGbk));
    switch (flags & 0xF0u) {
    case VelkMsgBox::kIconExclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case VelkMsgBox::kIconInformation:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    if ((flags & 0x0Fu) == VelkMsgBox::kYesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        const bool noByDefault = (flags & VelkMsgBox::kDefaultSecond) != 0;
        box.setDefaultButton(noByDefault ? QMessageBox::No : QMessageBox::Yes);
        if (noByDefault)
            box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? VelkMsgBox::kIdYes : VelkMsgBox::kIdNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return VelkMsgBox::kIdOk;
}
