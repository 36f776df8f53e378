#include "ui/CXPButton.h"

CXPButton::CXPButton(QWidget* parent) : QPushButton(parent)
{
    setAutoDefault(false);
    setDefault(false);
    setStyleSheet(QStringLiteral(
        "CXPButton { border: 1px solid #1c5180; border-radius: 3px; padding: 1px 4px;"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #d6d3ce); }"
        "CXPButton:hover { border-color: #f8b330; }"
        "CXPButton:pressed { background: #e2e0d8; }"
        "CXPButton:disabled { color: #a0a0a0; border-color: #c0c0c0; }"));
}

CXPButton::~CXPButton() = default;
