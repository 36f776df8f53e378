#include "host/gui/COutputsPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QThread>
#include <QVBoxLayout>
#include <memory>
#include <set>

#include "host/gui/CSystemErrorText.h"
#include "host/outputs/CAlertEvent.h"
#include "host/outputs/CNatsOutput.h"
#include "host/outputs/CSecretStore.h"
#include "host/outputs/CWebhookRequest.h"
#include "host/outputs/IAlertOutput.h"
#include "platform/core/TextCodec.h"
#include "res/VelkStringTable.h"

namespace {

// The kinds as the settings name them and as the page shows them.
struct KindName {
    const char* kind;
    const char* text;
};
const KindName kKinds[] = {
    {"generic", QT_TRANSLATE_NOOP("COutputsPage", "通用 HTTP POST（JSON）")},
    {"ntfy", QT_TRANSLATE_NOOP("COutputsPage", "ntfy 主题")},
    {"telegram", QT_TRANSLATE_NOOP("COutputsPage", "Telegram 机器人")},
    {"dingtalk", QT_TRANSLATE_NOOP("COutputsPage", "钉钉群机器人")},
    {"wecom", QT_TRANSLATE_NOOP("COutputsPage", "企业微信群机器人")},
    {"feishu", QT_TRANSLATE_NOOP("COutputsPage", "飞书群机器人")},
    {"nats", QT_TRANSLATE_NOOP("COutputsPage", "NATS（服务器部署）")},
};

bool IsWebhook(const QString& kind)
{
    return kind != QStringLiteral("nats");
}

// The alert 测试 sends: what a real one of today looks like.
CAlertEvent SampleAlert()
{
    const QDateTime now = QDateTime::currentDateTime();
    CAlertEvent event;
    event.record.m_byMarket = 1;
    VelkCopyText(event.record.m_szCode, std::string("600103"));
    VelkCopyText(event.record.m_szName, TextCodec::Utf8ToGbk("青山纸业"));
    VelkCopyText(event.record.m_szReason, VelkReasonText(2));
    event.record.m_nTime = now.time().msecsSinceStartOfDay() / 1000;
    event.record.m_fPrice = 3.04f;
    event.record.m_fVolume = 1200;
    event.reasonCode = 2;
    event.sequence = 1;
    event.tradingDate = now.date().year() * 10000 + now.date().month() * 100 + now.date().day();
    event.prevClose = 2.76f;
    return event;
}

QString OutcomeText(CDeliveryAttempt::Outcome outcome)
{
    switch (outcome) {
    case CDeliveryAttempt::Outcome::Delivered:
        return COutputsPage::tr("已送达");
    case CDeliveryAttempt::Outcome::Retry:
        return COutputsPage::tr("未送达，可重试");
    case CDeliveryAttempt::Outcome::Failed:
        return COutputsPage::tr("被拒绝");
    }
    return {};
}

} // namespace

COutputsPage::COutputsPage(QSettings& settings, CSecretStore& secrets, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_secrets(secrets)
{
    m_pList = new QListWidget(this);
    m_pList->setObjectName(QStringLiteral("outputList"));
    auto* add = new QPushButton(tr("添加"), this);
    auto* remove = new QPushButton(tr("删除"), this);
    auto* left = new QVBoxLayout;
    left->addWidget(m_pList);
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(add);
    listButtons->addWidget(remove);
    left->addLayout(listButtons);

    m_pForm = new QWidget(this);
    m_pEnabled = new QCheckBox(tr("启用"), m_pForm);
    m_pName = new QLineEdit(m_pForm);
    m_pKind = new QComboBox(m_pForm);
    for (const KindName& kind : kKinds)
        m_pKind->addItem(tr(kind.text), QString::fromLatin1(kind.kind));
    m_pUrl = new QLineEdit(m_pForm);
    m_pTemplate = new QPlainTextEdit(m_pForm);
    m_pTemplate->setPlaceholderText(
        tr("JSON 模板，如 {\"text\": \"{{summary}}\"}；留空发送整条报警"));
    m_pTemplate->setMaximumHeight(90);
    m_pChatId = new QLineEdit(m_pForm);
    m_pSecret = new QLineEdit(m_pForm);
    m_pSecret->setObjectName(QStringLiteral("outputSecret"));
    m_pSecret->setEchoMode(QLineEdit::Password);
    m_pTest = new QPushButton(tr("测试"), m_pForm);
    m_pAnswer = new QLabel(m_pForm);
    m_pAnswer->setWordWrap(true);
    m_pAnswer->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* form = m_pFormLayout = new QFormLayout(m_pForm);
    form->addRow(m_pEnabled);
    form->addRow(tr("名称"), m_pName);
    form->addRow(tr("类型"), m_pKind);
    form->addRow(tr("URL"), m_pUrl);
    form->addRow(tr("模板"), m_pTemplate);
    form->addRow(tr("Chat ID"), m_pChatId);
    form->addRow(tr("密钥"), m_pSecret);
    form->addRow(m_pTest, m_pAnswer);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addWidget(m_pForm, 2);

    for (COutputSettings::Entry& entry : COutputSettings::Load(m_settings)) {
        Item item;
        item.storedName = EffectiveName(entry);
        item.entry = std::move(entry);
        m_items.push_back(std::move(item));
        m_pList->addItem(QString());
        UpdateListText(static_cast<int>(m_items.size()) - 1);
    }

    connect(add, &QPushButton::clicked, this, &COutputsPage::AddEntry);
    connect(remove, &QPushButton::clicked, this, &COutputsPage::RemoveCurrent);
    connect(m_pList, &QListWidget::currentRowChanged, this, &COutputsPage::SelectEntry);
    connect(m_pTest, &QPushButton::clicked, this, &COutputsPage::RunTest);
    auto edited = [this] {
        if (m_bLoading || m_nCurrent < 0)
            return;
        StoreForm();
        UpdateListText(m_nCurrent);
    };
    connect(m_pEnabled, &QCheckBox::toggled, this, edited);
    connect(m_pName, &QLineEdit::textEdited, this, [this, edited] {
        edited();
        UpdateSecretHint();
    });
    connect(m_pKind, &QComboBox::currentIndexChanged, this, [this, edited] {
        edited();
        ShowKindFields();
    });
    connect(m_pUrl, &QLineEdit::textEdited, this, edited);
    connect(m_pTemplate, &QPlainTextEdit::textChanged, this, edited);
    connect(m_pChatId, &QLineEdit::textEdited, this, edited);
    connect(m_pSecret, &QLineEdit::textEdited, this, edited);
    m_pList->setCurrentRow(m_items.empty() ? -1 : 0);
    LoadForm();
}

COutputsPage::~COutputsPage()
{
    if (m_pTestThread) {
        m_abortTest = true;
        if (m_pTestOutput)
            m_pTestOutput->Interrupt();
        m_pTestThread->wait();
        delete m_pTestThread;
    }
}

std::string COutputsPage::EffectiveName(const COutputSettings::Entry& entry)
{
    return entry.name.empty() ? entry.kind : entry.name;
}

void COutputsPage::UpdateListText(int index)
{
    if (index < 0 || index >= static_cast<int>(m_items.size()))
        return;
    const COutputSettings::Entry& entry = m_items[static_cast<std::size_t>(index)].entry;
    QString text = QString::fromStdString(EffectiveName(entry)) + QStringLiteral(" (") +
                   KindText(QString::fromStdString(entry.kind)) + QLatin1Char(')');
    if (!entry.enabled)
        text += QLatin1Char(' ') + tr("[停用]");
    m_pList->item(index)->setText(text);
}

void COutputsPage::StoreForm()
{
    if (m_nCurrent < 0 || m_nCurrent >= static_cast<int>(m_items.size()))
        return;
    Item& item = m_items[static_cast<std::size_t>(m_nCurrent)];
    item.entry.enabled = m_pEnabled->isChecked();
    item.entry.name = m_pName->text().trimmed().toStdString();
    item.entry.kind = m_pKind->currentData().toString().toStdString();
    item.entry.url = m_pUrl->text().trimmed().toStdString();
    item.entry.bodyTemplate = m_pTemplate->toPlainText().toStdString();
    item.entry.chatId = m_pChatId->text().trimmed().toStdString();
    if (!m_pSecret->text().isEmpty())
        item.typedSecret = m_pSecret->text().toStdString();
}

void COutputsPage::LoadForm()
{
    m_bLoading = true;
    const bool has = m_nCurrent >= 0 && m_nCurrent < static_cast<int>(m_items.size());
    m_pForm->setEnabled(has);
    const COutputSettings::Entry entry =
        has ? m_items[static_cast<std::size_t>(m_nCurrent)].entry : COutputSettings::Entry{};
    m_pEnabled->setChecked(entry.enabled);
    m_pName->setText(QString::fromStdString(entry.name));
    m_pKind->setCurrentIndex(std::max(0, m_pKind->findData(QString::fromStdString(entry.kind))));
    m_pUrl->setText(QString::fromStdString(entry.url));
    m_pTemplate->setPlainText(QString::fromStdString(entry.bodyTemplate));
    m_pChatId->setText(QString::fromStdString(entry.chatId));
    // A secret is never put back into a field.
    m_pSecret->clear();
    m_pAnswer->clear();
    UpdateSecretHint();
    ShowKindFields();
    m_bLoading = false;
}

QString COutputsPage::KindText(const QString& kind)
{
    for (const KindName& known : kKinds)
        if (kind == QLatin1String(known.kind))
            return tr(known.text);
    // A kind this program does not know, kept as the settings name it.
    return kind;
}

void COutputsPage::ShowKindFields()
{
    // Each kind shows only what it uses: the template is the generic POST's body, the chat id
    // Telegram's, and NATS takes neither a secret nor anything but its server's address.
    const QString kind = m_pKind->currentData().toString();
    m_pFormLayout->setRowVisible(m_pTemplate, kind == QStringLiteral("generic"));
    m_pFormLayout->setRowVisible(m_pChatId, kind == QStringLiteral("telegram"));
    m_pFormLayout->setRowVisible(m_pSecret, IsWebhook(kind));
    if (kind == QStringLiteral("dingtalk") || kind == QStringLiteral("feishu"))
        m_pSecret->setToolTip(
            tr("URL 留空时填机器人的令牌；机器人设了“加签”时，在令牌后空一格填加签的密钥。"
               "URL 填了完整地址时，只填加签的密钥。"));
    else
        m_pSecret->setToolTip(tr("填入 URL 或模板里 {{secret}} "
                                 "处的内容；存于密钥库（没有密钥库时存于只有本人可读的文件），"
                                 "不写入设置文件。"));
    CWebhookConfig::Kind webhook = CWebhookConfig::Kind::Generic;
    const std::string preset = CWebhookConfig::KindFromName(kind.toStdString(), webhook)
                                   ? CWebhookConfig::DefaultUrl(webhook)
                                   : std::string();
    // The robots' pace, so that alerts that come later than they happened are not a surprise.
    // (webhook stays the generic kind, which has no limit, for NATS and unknown kinds.)
    const int perMinute = CWebhookConfig::MessagesPerMinute(webhook);
    m_pKind->setToolTip(perMinute > 0 ? tr("接收方每分钟只收 %1 条消息：超出时报警稍后发送，"
                                           "其间的报警合为一条，每条至多 %2 个。")
                                            .arg(perMinute)
                                            .arg(CWebhookConfig::MostFolded(webhook))
                                      : QString());
    if (!IsWebhook(kind))
        m_pUrl->setPlaceholderText(
            tr("留空即 %1").arg(QString::fromStdString(CNatsOutput::Config().url)));
    else if (!preset.empty())
        m_pUrl->setPlaceholderText(tr("留空即 %1").arg(QString::fromStdString(preset)));
    else if (kind == QStringLiteral("ntfy"))
        m_pUrl->setPlaceholderText(tr("主题的 URL，如 https://ntfy.sh/你的主题"));
    else
        m_pUrl->setPlaceholderText(tr("URL，密钥处写 {{secret}}"));
}

bool COutputsPage::StoredSecret(const std::string& name, std::string& secret,
                                std::string& error) const
{
    if (name.empty())
        return false;
    return m_secrets.Lookup(COutputSettings::SecretKey(name), secret, error);
}

void COutputsPage::UpdateSecretHint()
{
    if (m_nCurrent < 0 || m_nCurrent >= static_cast<int>(m_items.size())) {
        m_pSecret->setPlaceholderText(QString());
        return;
    }
    const Item& item = m_items[static_cast<std::size_t>(m_nCurrent)];
    std::string secret;
    std::string error;
    if (item.typedSecret)
        m_pSecret->setPlaceholderText(tr("已输入，保存时写入密钥库"));
    else if (StoredSecret(item.storedName, secret, error))
        m_pSecret->setPlaceholderText(tr("已保存（不显示），留空则不变"));
    else if (!error.empty())
        m_pSecret->setPlaceholderText(tr("无法读取: %1").arg(CSystemErrorText::Translate(error)));
    else
        m_pSecret->setPlaceholderText(tr("未设置"));
}

void COutputsPage::SelectEntry(int index)
{
    if (index == m_nCurrent)
        return;
    StoreForm();
    m_nCurrent = index;
    if (m_pList->currentRow() != index)
        m_pList->setCurrentRow(index);
    LoadForm();
}

void COutputsPage::AddEntry()
{
    StoreForm();
    Item item;
    item.entry.kind = "generic";
    item.entry.name = tr("输出%1").arg(m_items.size() + 1).toStdString();
    m_items.push_back(std::move(item));
    m_pList->addItem(QString());
    const int index = static_cast<int>(m_items.size()) - 1;
    UpdateListText(index);
    m_nCurrent = -1;
    SelectEntry(index);
}

void COutputsPage::RemoveCurrent()
{
    if (m_nCurrent < 0 || m_nCurrent >= static_cast<int>(m_items.size()))
        return;
    const int index = m_nCurrent;
    if (!m_items[static_cast<std::size_t>(index)].storedName.empty())
        m_removedNames.push_back(m_items[static_cast<std::size_t>(index)].storedName);
    m_items.erase(m_items.begin() + index);
    m_nCurrent = -1;
    {
        const QSignalBlocker block(m_pList);
        delete m_pList->takeItem(index);
    }
    SelectEntry(m_items.empty() ? -1 : std::min(index, static_cast<int>(m_items.size()) - 1));
    if (m_items.empty())
        LoadForm();
}

std::vector<COutputSettings::Entry> COutputsPage::Entries()
{
    StoreForm();
    std::vector<COutputSettings::Entry> entries;
    for (const Item& item : m_items)
        entries.push_back(item.entry);
    return entries;
}

bool COutputsPage::Save(QString* error)
{
    StoreForm();
    std::set<std::string> names;
    for (const Item& item : m_items) {
        if (!names.insert(EffectiveName(item.entry)).second) {
            if (error)
                *error =
                    tr("输出名称重复: %1").arg(QString::fromStdString(EffectiveName(item.entry)));
            return false;
        }
    }
    std::string problem;
    auto fail = [&](const std::string& name) {
        if (error)
            *error = tr("输出 %1 的密钥无法保存: %2")
                         .arg(QString::fromStdString(name), CSystemErrorText::Translate(problem));
        return false;
    };
    for (const std::string& name : m_removedNames) {
        // A name another entry now goes by keeps its secret.
        if (names.count(name) == 0 && !m_secrets.Remove(COutputSettings::SecretKey(name), problem))
            return fail(name);
    }
    m_removedNames.clear();
    for (Item& item : m_items) {
        const std::string name = EffectiveName(item.entry);
        if (item.typedSecret) {
            if (!m_secrets.Store(COutputSettings::SecretKey(name), *item.typedSecret, problem))
                return fail(name);
        } else if (!item.storedName.empty() && item.storedName != name) {
            std::string secret;
            if (m_secrets.Lookup(COutputSettings::SecretKey(item.storedName), secret, problem) &&
                !m_secrets.Store(COutputSettings::SecretKey(name), secret, problem))
                return fail(name);
            if (!problem.empty())
                return fail(name);
        }
        if (!item.storedName.empty() && item.storedName != name &&
            names.count(item.storedName) == 0 &&
            !m_secrets.Remove(COutputSettings::SecretKey(item.storedName), problem))
            return fail(item.storedName);
        item.storedName = name;
        item.typedSecret.reset();
    }
    std::vector<COutputSettings::Entry> entries;
    for (const Item& item : m_items)
        entries.push_back(item.entry);
    COutputSettings::Save(m_settings, entries);
    m_settings.sync();
    if (m_settings.status() != QSettings::NoError) {
        if (error)
            *error = tr("设置无法写入 %1").arg(m_settings.fileName());
        return false;
    }
    m_pSecret->clear();
    UpdateSecretHint();
    return true;
}

QString COutputsPage::AnswerText() const
{
    return m_pAnswer->text();
}

void COutputsPage::RunTest()
{
    if (m_pTestThread || m_nCurrent < 0 || m_nCurrent >= static_cast<int>(m_items.size()))
        return;
    StoreForm();
    const Item& item = m_items[static_cast<std::size_t>(m_nCurrent)];
    std::string secret;
    std::string error;
    if (item.typedSecret)
        secret = *item.typedSecret;
    else if (!StoredSecret(item.storedName, secret, error) && !error.empty()) {
        m_pAnswer->setText(tr("密钥无法读取: %1").arg(CSystemErrorText::Translate(error)));
        Q_EMIT TestFinished(m_pAnswer->text());
        return;
    }
    std::shared_ptr<IAlertOutput> output = COutputSettings::MakeOutput(item.entry, secret, error);
    if (!output) {
        m_pAnswer->setText(tr("无法发送: %1").arg(CSystemErrorText::Translate(error)));
        Q_EMIT TestFinished(m_pAnswer->text());
        return;
    }
    m_pTest->setEnabled(false);
    m_pAnswer->setText(tr("发送中..."));
    m_abortTest = false;
    m_pTestOutput = output;
    const CAlertEvent sample = SampleAlert();
    m_pTestThread = QThread::create([this, output, sample] {
        const CDeliveryAttempt result = output->Deliver(sample, m_abortTest);
        output->CloseOnWorker();
        const QString answer = OutcomeText(result.outcome) + QStringLiteral(": ") +
                               QString::fromStdString(result.answer);
        QMetaObject::invokeMethod(
            this,
            [this, answer] {
                m_pTestThread->wait();
                delete m_pTestThread;
                m_pTestThread = nullptr;
                m_pTestOutput.reset();
                m_pTest->setEnabled(true);
                m_pAnswer->setText(answer);
                Q_EMIT TestFinished(answer);
            },
            Qt::QueuedConnection);
    });
    m_pTestThread->start();
}
