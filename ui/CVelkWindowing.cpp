#include "CVelkWindowing.h"

#include <QTableView>
#include <QWidget>

#include "CAlertListDlg.h"
#include "CAlertWindowHandle.h"
#include "RegisteredMessages.h"
#include "ResourceSwitch.h"

bool CVelkWindowing::HasMainWindow() const
{
    return VelkMainWindow() != nullptr;
}

std::unique_ptr<IAlertWindow> CVelkWindowing::CreateAlertWindow(std::vector<Ta_ALERTRECORD>* alerts,
                                                                std::vector<Ta_VELKPRICEALERT>* prices)
{
    CResourceSwitch resources;
    QWidget* owner = VelkMainWindow();
    auto* dialog = new CAlertListDlg(alerts, prices, owner);
    QTableView* list = dialog->ListControl();
    list->setUpdatesEnabled(false);
    dialog->FillAlertList();
    list->setUpdatesEnabled(true);
    if (owner) {
        const QPoint centre = owner->mapToGlobal(owner->rect().center());
        dialog->move(centre - QPoint(dialog->width() / 2, dialog->height() / 2));
    }
    return std::make_unique<CAlertWindowHandle>(dialog);
}

void CVelkWindowing::BringMainWindowToFront()
{
    QWidget* owner = VelkMainWindow();
    if (!owner)
        return;
    owner->raise();
    owner->activateWindow();
}

int CVelkWindowing::RunSettingsSheet(CSettingsBinding&)
{
    return VelkMsgBox::kIdCancel;
}
