#include "host/gui/CFeedConnectDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "host/feed/CFeedConnection.h"
#include "host/gui/CSystemErrorText.h"

CFeedConnectDialog::CFeedConnectDialog(const QString& address, QWidget* parent)
    : QDialog(parent), m_pAddress(new QLineEdit(address, this)), m_pError(new QLabel(this))
{
    setWindowTitle(tr("连接行情源"));
    m_pAddress->setObjectName(QStringLiteral("feedAddress"));
    m_pAddress->setPlaceholderText(QStringLiteral("tcp://127.0.0.1:9000"));
    m_pAddress->setMinimumWidth(360);
    m_pError->setObjectName(QStringLiteral("feedAddressError"));
    m_pError->setStyleSheet(QStringLiteral("color: red"));
    m_pError->setWordWrap(true);
    m_pError->hide();
    auto* hint =
        new QLabel(tr("行情源地址：tcp://主机:端口、unix:路径 或 nats://主机:端口/主题"), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CFeedConnectDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CFeedConnectDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(m_pAddress);
    layout->addWidget(m_pError);
    layout->addWidget(buttons);
}

QString CFeedConnectDialog::Address() const
{
    return m_pAddress->text().trimmed();
}

void CFeedConnectDialog::accept()
{
    CFeedConnection::Address parsed;
    std::string error;
    if (Address().isEmpty() ||
        !CFeedConnection::ParseAddress(Address().toStdString(), parsed, error)) {
        m_pError->setText(Address().isEmpty()
                              ? tr("请输入行情源地址")
                              : tr("地址无效：%1").arg(CSystemErrorText::Translate(error)));
        m_pError->show();
        m_pAddress->setFocus();
        return;
    }
    QDialog::accept();
}
