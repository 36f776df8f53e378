#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;

// Asks for the address of a quote feed (tcp://HOST:PORT, unix:PATH, nats://HOST:PORT/SUBJECT
// or - for standard input). OK takes only an address the feed reader understands; otherwise
// the dialog says why and stays open.
class CFeedConnectDialog final : public QDialog {
    Q_OBJECT
public:
    explicit CFeedConnectDialog(const QString& address, QWidget* parent = nullptr);

    QString Address() const;

    void accept() override;

private:
    QLineEdit* m_pAddress;
    QLabel* m_pError;
};
