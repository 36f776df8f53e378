// The desktop program under a Chinese locale: Qt's own dialogs, velk-host's messages and the
// trading-day loader's errors speak Chinese, and message boxes carry the program's name.

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTranslator>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>

#include "host/core/CTradingDay.h"
#include "host/feed/CFeedConnection.h"
#include "host/feed/CFeedMessage.h"
#include "host/feed/CFeedParser.h"
#include "host/gui/CDayLoader.h"
#include "host/gui/CFeedReasonText.h"
#include "host/gui/CHostPrompt.h"
#include "host/gui/CHostTranslations.h"
#include "host/gui/CLoadErrorText.h"
#include "host/gui/CSystemErrorText.h"
#include "host/outputs/CAlertHistory.h"
#include "host/outputs/CSecretStore.h"
#include "platform/core/VelkFile.h"
#include "platform/qt/QtText.h"
#include "tests/host/HostTestSupport.h"
#include "tests/support/CTempDir.h"

using namespace hosttest;

namespace {

const QLocale kChina(QLocale::Chinese, QLocale::China);

// The translators go with each test: the other suites of this program expect the texts as
// written.
class HostLanguageTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (QTranslator* translator : qApp->findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
        QGuiApplication::setApplicationDisplayName(QString());
    }

    // The loader's message for a day folder whose trades are as given.
    std::string LoadError(const std::string& trades, const std::string& symbols = {})
    {
        const std::string dir = m_temp.File("day" + std::to_string(++m_nDays));
        WriteDay(dir, trades);
        if (!symbols.empty())
            WriteFile(dir + "/symbols.csv", symbols);
        CTradingDay day;
        std::string error;
        EXPECT_FALSE(day.Load(dir, error));
        return error;
    }

    CTempDir m_temp;
    int m_nDays = 0;
};

bool HasChinese(const QString& text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; });
}

} // namespace

TEST_F(HostLanguageTest, UnderAChineseLocaleQtsDialogsAndTheProgramsCaptionAreChinese)
{
    const CHostTranslations::Result loaded = CHostTranslations::Install(*qApp, kChina);
    ASSERT_TRUE(loaded.qt) << "no Qt translation in "
                           << CHostTranslations::QtTranslationsFolder().toStdString();
    EXPECT_TRUE(loaded.host);

    QMessageBox box(QMessageBox::Warning, CHostPrompt::Caption(), QStringLiteral("x"),
                    QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_TRUE(box.button(QMessageBox::Ok)->text().startsWith(VelkFromUtf8("确定")));
    EXPECT_TRUE(box.button(QMessageBox::Cancel)->text().startsWith(VelkFromUtf8("取消")));

    QFileDialog dialog(nullptr, QString(), QString::fromStdString(m_temp.Path()));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_TRUE(buttons->button(QDialogButtonBox::Open)->text().contains(VelkFromUtf8("打开")))
        << buttons->button(QDialogButtonBox::Open)->text().toStdString();
    EXPECT_TRUE(buttons->button(QDialogButtonBox::Cancel)->text().contains(VelkFromUtf8("取消")));

    // The module's own boxes (its number check among them) take the application's display
    // name as caption, which was "velk-host" and cut to "ve…ost".
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), VelkFromUtf8("行情预警"));
}

TEST_F(HostLanguageTest, ALoadErrorIsShownInChineseAndStaysAsWrittenWithoutTranslation)
{
    const std::string error = LoadError("09:30:00,1,600000,10.00,1000\n09:31:00,1,600000\n");
    ASSERT_EQ(error, "trades.csv:3: 3 fields where 5 are expected");
    EXPECT_EQ(CLoadErrorText::Translate(error).toStdString(), error);

    CHostTranslations::Install(*qApp, kChina);
    EXPECT_EQ(CLoadErrorText::Translate(error),
              VelkFromUtf8("trades.csv 第 3 行：有 3 个字段，应为 5 个"));

    // The desktop program's loading thread reports it so.
    const std::string dir = m_temp.File("bad");
    WriteDay(dir, "09:30:00,1,600000,10.00,1000\n09:31:00,1,600000\n");
    CDayLoader loader;
    QSignalSpy failed(&loader, &CDayLoader::Failed);
    loader.Start(QString::fromStdString(dir));
    ASSERT_TRUE(failed.wait(10000));
    EXPECT_EQ(failed.at(0).at(1).toString(),
              VelkFromUtf8("trades.csv 第 3 行：有 3 个字段，应为 5 个"));
}

TEST_F(HostLanguageTest, EveryKindOfLoadErrorFindsItsChineseForm)
{
    const std::string symbols = "market,code,name,prev_close,limit_up,limit_down\n"
                                "1,600000,浦发银行,10.00,11.00,9.00\n";
    const std::vector<std::string> errors{
        LoadError("09:30:00,1,600000,abc,1000\n"),
        LoadError("09:30:00,1,600000,10.0001,1000\n"),
        LoadError("9.30,1,600000,10.00,1000\n"),
        LoadError("09:30:00,1,600001,10.00,1000\n"),
        LoadError("09:30:00,7,600000,10.00,1000\n"),
        LoadError("09:30:00,1,600000,10.00,10.5\n"),
        LoadError("09:30:00,1,600000,500.00,100\n"),
        LoadError("09:30:00,1,\"600000,10.00,100\n"),
        LoadError("09:30:00,1,600000,10.00,1000\n",
                  symbols + "1,600000,浦发银行,10.00,11.00,9.00\n"),
        LoadError("09:30:00,1,600000,10.00,1000\n", symbols + "1,,x,1,1,1\n"),
        LoadError("", "market,code\n"),
    };
    CHostTranslations::Install(*qApp, kChina);
    for (const std::string& error : errors) {
        const QString said = CLoadErrorText::Translate(error);
        EXPECT_TRUE(HasChinese(said)) << error;
        // Only the values are carried over: no English word of the form is left.
        EXPECT_FALSE(said.contains(QStringLiteral(" is "))) << said.toStdString();
    }
    // The folder itself.
    const QString missing =
        CLoadErrorText::Translate(m_temp.File("nowhere") + ": no such trading-day folder");
    EXPECT_TRUE(missing.startsWith(VelkFromUtf8("找不到交易日文件夹"))) << missing.toStdString();
    // A value that looks like a placeholder is shown as it is, and a message of no known form
    // comes back unchanged.
    EXPECT_EQ(CLoadErrorText::Translate(std::string("trades.csv:4: time \"%2\" is not HH:MM:SS")),
              VelkFromUtf8("trades.csv 第 4 行：时间 \"%2\" 不是 HH:MM:SS 格式"));
    EXPECT_EQ(CLoadErrorText::Translate(std::string("something else: went wrong")),
              QStringLiteral("something else: went wrong"));
}

TEST_F(HostLanguageTest, AFileOrDatabaseFailureIsShownInChineseWithItsPathKept)
{
    // A history database that is not one, as a user's stray file in its place would be.
    const std::string garbage = m_temp.File("history.sqlite");
    WriteFile(garbage, std::string(4096, 'x'));
    CAlertHistory history;
    ASSERT_FALSE(history.Open(garbage));
    const std::string dbError = history.Error();
    // The system's words for a full disk, in the form the day-file keeper writes them.
    const std::string diskError = m_temp.File("20211201.alt") + ": " + std::strerror(ENOSPC);
    EXPECT_EQ(CSystemErrorText::Translate(dbError).toStdString(), dbError);

    CHostTranslations::Install(*qApp, kChina);
    for (const std::string& error : {dbError, diskError}) {
        const QString said = CSystemErrorText::Translate(error);
        EXPECT_TRUE(HasChinese(said)) << error;
        EXPECT_TRUE(said.startsWith(QString::fromStdString(error.substr(0, error.find(": ")))))
            << said.toStdString();
        EXPECT_FALSE(said.contains(QStringLiteral("database"))) << said.toStdString();
        EXPECT_FALSE(said.contains(QStringLiteral("space"))) << said.toStdString();
    }
    // A live feed's address the user mistyped, and a source that is not listening.
    CFeedConnection::Address address;
    std::string feedError;
    ASSERT_FALSE(CFeedConnection::ParseAddress("tcp:/127.0.0.1", address, feedError));
    const QString badAddress = CSystemErrorText::Translate(feedError);
    EXPECT_TRUE(HasChinese(badAddress)) << feedError;
    EXPECT_TRUE(badAddress.contains(QStringLiteral("tcp:/127.0.0.1"))) << badAddress.toStdString();
    EXPECT_TRUE(HasChinese(CSystemErrorText::Translate(std::string(std::strerror(ECONNREFUSED)))));
    // Qt's word for a file that cannot be opened, as the history export and the autostart entry
    // show it.
    QFile missing(QString::fromStdString(m_temp.File("nowhere/history.csv")));
    ASSERT_FALSE(missing.open(QIODevice::ReadOnly));
    EXPECT_TRUE(HasChinese(CSystemErrorText::Translate(missing.errorString())))
        << missing.errorString().toStdString();
    // Forms with a value keep the value; a part of no known form comes back unchanged.
    EXPECT_EQ(CSystemErrorText::Translate(std::string("cannot create the folder of /a/b")),
              VelkFromUtf8("无法创建 /a/b 所在的文件夹"));
    // The outputs' secret file, as the secret store says what failed.
    CSecretStore unwritable(m_temp.File("secrets"));
    unwritable.SetUseKeyring(false);
    ASSERT_TRUE(VelkCreateDirectories(m_temp.File("secrets.tmp")));
    std::string secretError;
    ASSERT_FALSE(unwritable.Store("output/ntfy", "s3cret", secretError));
    const QString secretSaid = CSystemErrorText::Translate(secretError);
    EXPECT_TRUE(secretSaid.startsWith(VelkFromUtf8("无法写入 ") +
                                      QString::fromStdString(m_temp.File("secrets"))))
        << secretSaid.toStdString();
    EXPECT_FALSE(secretSaid.contains(QStringLiteral("cannot"))) << secretSaid.toStdString();
    EXPECT_FALSE(secretSaid.contains(QStringLiteral("directory"))) << secretSaid.toStdString();
    EXPECT_EQ(CSystemErrorText::Translate(std::string("/x/commit: went wrong")),
              QStringLiteral("/x/commit: went wrong"));
}

TEST_F(HostLanguageTest, TheFeedLogsReasonsForASkippedLineAreChineseWithTheirValues)
{
    std::vector<std::string> reasons;
    for (const char* line : {"not json", R"({"market":1})",
                             R"({"type":"trade","time":"9h30","market":1,)"
                             R"("code":"600000","price":10,"volume":100})",
                             R"({"type":"hello","version":1,"date":20211201,"markets":7})"}) {
        CFeedParser parser;
        CFeedMessage message;
        EXPECT_NE(parser.Parse(line, message), CFeedParser::Problem::None) << line;
        reasons.push_back(parser.Why());
    }
    // The live session's own reasons, in the form it writes them.
    reasons.push_back("stock 1 600000 is not known");
    reasons.push_back("goes back in time for 600000");
    for (const std::string& reason : reasons)
        EXPECT_EQ(CFeedReasonText::Translate(reason).toStdString(), reason);

    CHostTranslations::Install(*qApp, kChina);
    for (const std::string& reason : reasons) {
        const QString said = CFeedReasonText::Translate(reason);
        EXPECT_TRUE(HasChinese(said)) << reason;
        EXPECT_FALSE(said.contains(QStringLiteral(" is "))) << said.toStdString();
    }
    const QString unknown = CFeedReasonText::Translate(std::string("stock 1 600000 is not known"));
    EXPECT_TRUE(unknown.contains(QStringLiteral("600000"))) << unknown.toStdString();
    // The field's name is carried over as the feed spells it.
    EXPECT_TRUE(CFeedReasonText::Translate(reasons[2]).contains(QStringLiteral("time")));
    EXPECT_EQ(CFeedReasonText::Translate(std::string("something else went wrong")),
              QStringLiteral("something else went wrong"));
}
