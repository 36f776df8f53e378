#pragma once

#include <QString>
#include <QWidget>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/outputs/COutputSettings.h"

class CSecretStore;
class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSettings;
class QThread;

// 输出: the webhook and NATS outputs of the settings, one entry at a time: enabled, name, kind
// (generic or a preset), URL, body template and chat id; the secret goes to the secret store
// and is never shown again (the field stays empty, saying whether one is kept). 测试 sends one
// sample alert through the entry as it stands and shows the receiver's answer.
class COutputsPage final : public QWidget {
    Q_OBJECT
public:
    COutputsPage(QSettings& settings, CSecretStore& secrets, QWidget* parent = nullptr);
    ~COutputsPage() override;

    // The entries as edited so far.
    std::vector<COutputSettings::Entry> Entries();
    // Writes the entries to the settings and the typed secrets to the store; a renamed entry
    // takes its secret along, a removed one's is deleted. False with the reason in error.
    bool Save(QString* error = nullptr);

    void AddEntry();
    void RemoveCurrent();
    void SelectEntry(int index);
    // Sends the sample alert on a thread of its own; TestFinished tells the answer.
    void RunTest();
    bool IsTesting() const { return m_pTestThread != nullptr; }

    QListWidget* List() const { return m_pList; }
    QCheckBox* EnabledBox() const { return m_pEnabled; }
    QLineEdit* NameEdit() const { return m_pName; }
    QComboBox* KindBox() const { return m_pKind; }
    QLineEdit* UrlEdit() const { return m_pUrl; }
    QPlainTextEdit* TemplateEdit() const { return m_pTemplate; }
    QLineEdit* ChatIdEdit() const { return m_pChatId; }
    QLineEdit* SecretEdit() const { return m_pSecret; }
    QPushButton* TestButton() const { return m_pTest; }
    QString AnswerText() const;

Q_SIGNALS:
    void TestFinished(const QString& answer);

private:
    struct Item {
        COutputSettings::Entry entry;
        // The name its secret is kept under; empty for an entry made here.
        std::string storedName;
        // Typed since the page opened; never read back from the store into the field.
        std::optional<std::string> typedSecret;
    };

    static std::string EffectiveName(const COutputSettings::Entry& entry);
    void StoreForm();
    void LoadForm();
    void UpdateListText(int index);
    void UpdateSecretHint();
    // Shows the fields the chosen kind uses and the URL it takes when none is given.
    void ShowKindFields();
    // The kind as the list and the choice show it.
    static QString KindText(const QString& kind);
    bool StoredSecret(const std::string& name, std::string& secret, std::string& error) const;

    QSettings& m_settings;
    CSecretStore& m_secrets;
    std::vector<Item> m_items;
    std::vector<std::string> m_removedNames;
    int m_nCurrent = -1;
    bool m_bLoading = false;

    QListWidget* m_pList = nullptr;
    QCheckBox* m_pEnabled = nullptr;
    QLineEdit* m_pName = nullptr;
    QComboBox* m_pKind = nullptr;
    QLineEdit* m_pUrl = nullptr;
    QPlainTextEdit* m_pTemplate = nullptr;
    QLineEdit* m_pChatId = nullptr;
    QLineEdit* m_pSecret = nullptr;
    QPushButton* m_pTest = nullptr;
    QLabel* m_pAnswer = nullptr;
    QWidget* m_pForm = nullptr;
    QFormLayout* m_pFormLayout = nullptr;
    QThread* m_pTestThread = nullptr;
    std::atomic<bool> m_abortTest{false};
    // The output the test thread sends with, so that closing the page can end its wait.
    std::shared_ptr<IAlertOutput> m_pTestOutput;
};
