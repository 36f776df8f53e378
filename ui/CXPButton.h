#pragma once

#include <QPushButton>

// The flat, rounded push button of the host's dialogs. It never acts as a default button:
// the windows that use it take no keys.
class CXPButton : public QPushButton {
    Q_OBJECT
public:
    explicit CXPButton(QWidget* parent = nullptr);
    ~CXPButton() override;
};
