#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <nlohmann/json.hpp>
#include <thread>

#include "host/outputs/COutputWorker.h"
#include "host/outputs/CWebhookOutput.h"
#include "tests/outputs/CLocalHttpServer.h"
#include "tests/outputs/OutputsTestSupport.h"

using namespace outputstest;
using Outcome = CDeliveryAttempt::Outcome;

namespace {

COutputWorker::Options QuickRetries()
{
    COutputWorker::Options options;
    options.firstBackoff = std::chrono::milliseconds(10);
    return options;
}

CWebhookConfig Hook(CWebhookConfig::Kind kind, const std::string& url)
{
    CWebhookConfig config;
    config.name = "hook";
    config.kind = kind;
    config.url = url;
    return config;
}

} // namespace

TEST(Webhook, ServerErrorsAreRetriedUntilDeliveredAndTheAlertArrivesInUtf8)
{
    CLocalHttpServer server({503, 503, 200});
    CRecordingLog log;
    COutputWorker worker(
        std::make_unique<CWebhookOutput>(Hook(CWebhookConfig::Kind::Generic, server.Url())),
        QuickRetries(), &log);
    worker.Push(Event(1));
    worker.Stop(std::chrono::seconds(30));

    EXPECT_EQ(worker.GetStatus().attempts, 3);
    EXPECT_EQ(worker.GetStatus().delivered, 1);
    EXPECT_EQ(worker.GetStatus().failed, 0);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2].method, "POST");
    EXPECT_EQ(requests[2].target, "/hook");
    const auto body = nlohmann::json::parse(requests[2].body);
    EXPECT_EQ(body["name"], "青山纸业");
    EXPECT_EQ(body["code"], "600103");
    EXPECT_EQ(body["reason"], "达到涨停价");
    EXPECT_EQ(body["reason_code"], 2);
    EXPECT_EQ(body["price"], 3.04);
    const auto entries = log.Entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].outcome, Outcome::Retry);
    EXPECT_EQ(entries[2].outcome, Outcome::Delivered);
}

TEST(Webhook, AClientErrorIsNotRetried)
{
    CLocalHttpServer server({400});
    COutputWorker worker(
        std::make_unique<CWebhookOutput>(Hook(CWebhookConfig::Kind::Generic, server.Url())),
        QuickRetries(), nullptr);
    worker.Push(Event(1));
    worker.Stop(std::chrono::seconds(30));
    EXPECT_EQ(worker.GetStatus().attempts, 1);
    EXPECT_EQ(worker.GetStatus().failed, 1);
    EXPECT_EQ(server.Requests().size(), 1u);
}

// A rate limit (429) passes, unlike other refusals: the alert is sent again once the pause the
// receiver asks for is over, and a pause longer than the worker grants is cut to its limit.
TEST(Webhook, ARateLimitIsRetriedAfterThePauseTheReceiverAsksFor)
{
    {
        CLocalHttpServer server({429, 200});
        server.SetAnswerHeaders("Retry-After: 1\r\n");
        CRecordingLog log;
        COutputWorker worker(
            std::make_unique<CWebhookOutput>(Hook(CWebhookConfig::Kind::Generic, server.Url())),
            QuickRetries(), &log);
        const auto start = std::chrono::steady_clock::now();
        worker.Push(Event(1));
        worker.Stop(std::chrono::seconds(30));
        // The worker's own first pause is 10 ms here.
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(worker.GetStatus().attempts, 2);
        EXPECT_EQ(worker.GetStatus().delivered, 1);
        const auto entries = log.Entries();
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(entries[0].outcome, Outcome::Retry);
    }
    {
        // Telegram says it in the body. An hour would outlast the stop's grace below.
        CLocalHttpServer server(
            {429, 200}, R"({"ok":false,"error_code":429,"parameters":{"retry_after":3600}})");
        COutputWorker::Options options = QuickRetries();
        options.longestRetryAfter = std::chrono::milliseconds(200);
        COutputWorker worker(
            std::make_unique<CWebhookOutput>(Hook(CWebhookConfig::Kind::Telegram, server.Url())),
            options, nullptr);
        worker.Push(Event(1));
        worker.Stop(std::chrono::seconds(30));
        EXPECT_EQ(server.Requests().size(), 2u);
    }
    // Robots say it in their answer: WeCom with 200, Feishu with 400. They count by the minute.
    const struct {
        CWebhookConfig::Kind kind;
        int status;
        const char* answer;
    } robots[] = {
        {CWebhookConfig::Kind::WeCom, 200, R"({"errcode":45009,"errmsg":"api freq out of limit"})"},
        {CWebhookConfig::Kind::Feishu, 400, R"({"code":9499,"msg":"too many request"})"},
    };
    for (const auto& robot : robots) {
        CLocalHttpServer server({robot.status, robot.status}, robot.answer);
        COutputWorker::Options options = QuickRetries();
        options.maxAttempts = 2;
        options.longestRetryAfter = std::chrono::milliseconds(300);
        COutputWorker worker(std::make_unique<CWebhookOutput>(Hook(robot.kind, server.Url())),
                             options, nullptr);
        const auto start = std::chrono::steady_clock::now();
        worker.Push(Event(1));
        worker.Stop(std::chrono::seconds(30));
        EXPECT_GE(std::chrono::steady_clock::now() - start, options.longestRetryAfter);
        EXPECT_EQ(server.Requests().size(), 2u) << robot.answer;
        EXPECT_EQ(worker.GetStatus().failed, 1);
    }
    EXPECT_TRUE(CWebhookRequest::AnswerRateLimited(
        CWebhookConfig::Kind::DingTalk, R"({"errcode":130101,"errmsg":"send too fast"})"));
    // Another robot's code, or a receiver with no codes of its own, says nothing.
    EXPECT_FALSE(
        CWebhookRequest::AnswerRateLimited(CWebhookConfig::Kind::WeCom, R"({"errcode":130101})"));
    EXPECT_FALSE(
        CWebhookRequest::AnswerRateLimited(CWebhookConfig::Kind::Generic, R"({"errcode":45009})"));
    EXPECT_EQ(CWebhookRequest::RetryAfter("120", ""), std::chrono::seconds(120));
    EXPECT_EQ(CWebhookRequest::RetryAfter("", R"({"parameters":{"retry_after":7}})"),
              std::chrono::seconds(7));
    for (const char* header : {"Wed, 21 Oct 2015 07:28:00 GMT", "-5", "0", "1e3"})
        EXPECT_EQ(CWebhookRequest::RetryAfter(header, "{}"), std::chrono::milliseconds(0))
            << header;
}

TEST(Webhook, ATimeoutIsRetriedAndAServerThatNeverAnswersIsGivenUpAfterFiveAttempts)
{
    CLocalHttpServer server({0, 0, 0, 0, 0, 0});
    CWebhookConfig config = Hook(CWebhookConfig::Kind::Generic, server.Url());
    config.timeoutMs = 100;
    CRecordingLog log;
    COutputWorker worker(std::make_unique<CWebhookOutput>(config), QuickRetries(), &log);
    worker.Push(Event(1));
    worker.Stop(std::chrono::seconds(30));
    EXPECT_EQ(worker.GetStatus().attempts, 5);
    EXPECT_EQ(worker.GetStatus().failed, 1);
    EXPECT_EQ(server.Requests().size(), 5u);
}

TEST(Webhook, StoppingEndsAnAttemptThatWaitsForAnAnswer)
{
    CLocalHttpServer server({0});
    COutputWorker worker(
        std::make_unique<CWebhookOutput>(Hook(CWebhookConfig::Kind::Generic, server.Url())),
        QuickRetries(), nullptr);
    worker.Push(Event(1));
    worker.Push(Event(2));
    while (server.Requests().empty())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    worker.Stop(std::chrono::milliseconds(0)); // the 5 s timeout is not waited for
    EXPECT_EQ(worker.GetStatus().abandoned, 2);
    EXPECT_EQ(worker.GetStatus().delivered, 0);
}

TEST(Webhook, InterruptEndsTheWaitForAnAnswerAtOnce)
{
    CLocalHttpServer server({0});
    CWebhookConfig config = Hook(CWebhookConfig::Kind::Generic, server.Url());
    config.timeoutMs = 600'000;
    CWebhookOutput output(config);
    // The flag is never set: only Interrupt can end the wait before the timeout.
    std::atomic<bool> abort{false};
    auto attempt = std::async(std::launch::async, [&] {
        const CDeliveryAttempt result = output.Deliver(Event(1), abort);
        output.CloseOnWorker();
        return result;
    });
    while (server.Requests().empty())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // An Interrupt before the attempt waits is lost, so it is repeated until the answer comes.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (attempt.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready &&
           std::chrono::steady_clock::now() < until)
        output.Interrupt();
    const bool ended = attempt.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    abort = true; // a failed check is not held up by the long timeout
    ASSERT_TRUE(ended);
    const CDeliveryAttempt result = attempt.get();
    EXPECT_EQ(result.outcome, Outcome::Retry);
    EXPECT_EQ(result.answer, "closing");
}

TEST(Webhook, RobotRefusalIn200IsAFailureAndTheSecretNeverReachesTheAnswer)
{
    CLocalHttpServer server({200}, R"({"errcode":310000,"errmsg":"keywords not in content"})");
    CWebhookConfig config =
        Hook(CWebhookConfig::Kind::DingTalk, server.Url("/robot/send?access_token={{secret}}"));
    config.secret = "s3cr3t-token";
    CRecordingLog log;
    struct CAnswerLog final : IDeliveryLog {
        void OnDeliveryAttempt(const CAlertEvent&, const std::string&, int,
                               const CDeliveryAttempt& result) override
        {
            answers.push_back(result.answer);
        }
        std::vector<std::string> answers;
    } answers;
    COutputWorker worker(std::make_unique<CWebhookOutput>(config), QuickRetries(), &answers);
    worker.Push(Event(1));
    worker.Stop(std::chrono::seconds(30));
    EXPECT_EQ(worker.GetStatus().failed, 1);
    EXPECT_EQ(worker.GetStatus().attempts, 1);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/robot/send?access_token=s3cr3t-token");
    const auto body = nlohmann::json::parse(requests[0].body);
    EXPECT_EQ(body["msgtype"], "text");
    EXPECT_EQ(body["text"]["content"].get<std::string>().rfind("青山纸业 600103 达到涨停价\n", 0),
              0u);
    ASSERT_EQ(answers.answers.size(), 1u);
    EXPECT_NE(answers.answers[0].find("310000"), std::string::npos) << answers.answers[0];
    EXPECT_EQ(answers.answers[0].find("s3cr3t"), std::string::npos);
}

TEST(WebhookRequest, PresetsSpeakTheirReceiversDialects)
{
    CAlertEvent limitUp = Event(7);
    CWebhookConfig ntfy = Hook(CWebhookConfig::Kind::Ntfy, "http://127.0.0.1/alerts");
    const CWebhookRequest n = CWebhookRequest::Build(ntfy, limitUp);
    std::map<std::string, std::string> headers(n.headers.begin(), n.headers.end());
    // "青山纸业 600103 达到涨停价" as an RFC 2047 word in an ASCII header
    EXPECT_EQ(headers["Title"], "=?UTF-8?B?6Z2S5bGx57q45LiaIDYwMDEwMyDovr7liLDmtqjlgZzku7c=?=");
    EXPECT_EQ(headers["Priority"], "5");
    EXPECT_EQ(headers["Tags"], "chart_with_upwards_trend");
    EXPECT_NE(n.body.find("价格 3.04"), std::string::npos) << n.body;
    EXPECT_EQ(CWebhookRequest::Build(ntfy, Event(8, "600103", "青山纸业", 7)).headers[2].second,
              "3");

    CWebhookConfig telegram = Hook(CWebhookConfig::Kind::Telegram,
                                   CWebhookConfig::DefaultUrl(CWebhookConfig::Kind::Telegram));
    telegram.secret = "123:abc";
    telegram.chatId = "-1001";
    const CWebhookRequest t = CWebhookRequest::Build(telegram, limitUp);
    EXPECT_EQ(t.url, "https://api.telegram.org/bot123:abc/sendMessage");
    EXPECT_EQ(nlohmann::json::parse(t.body)["chat_id"], "-1001");
    std::string why;
    EXPECT_FALSE(CWebhookRequest::AnswerAccepted(
        CWebhookConfig::Kind::Telegram, R"({"ok":false,"description":"chat not found"})", why));
    EXPECT_EQ(why, "chat not found");

    CWebhookConfig feishu = Hook(CWebhookConfig::Kind::Feishu, "http://127.0.0.1/{{secret}}");
    const auto f = nlohmann::json::parse(CWebhookRequest::Build(feishu, limitUp).body);
    EXPECT_EQ(f["msg_type"], "text");
    EXPECT_NE(f["content"]["text"].get<std::string>().find("青山纸业"), std::string::npos);
    EXPECT_TRUE(CWebhookRequest::AnswerAccepted(CWebhookConfig::Kind::Feishu,
                                                R"({"code":0,"msg":"success"})", why));
    EXPECT_FALSE(CWebhookRequest::AnswerAccepted(
        CWebhookConfig::Kind::Feishu, R"({"code":19024,"msg":"Key Words Not Found"})", why));
    EXPECT_TRUE(CWebhookRequest::AnswerAccepted(CWebhookConfig::Kind::WeCom, "not json", why));
}

// Robots set to sign: the expected signatures are those of the receivers' own examples, worked
// out apart from this code.
TEST(WebhookRequest, DingTalkAndFeishuRobotsAreSignedWithTheirKey)
{
    const CAlertEvent alert = Event(1);
    const std::string signedUrl = "https://oapi.dingtalk.com/robot/send?access_token=TOK"
                                  "&timestamp=1700000000000"
                                  "&sign=N5P09a4%2Bp1AMJIJWnIvQd2Yxw9%2Bfu%2FoEBnPrjCcsLXk%3D";
    // The whole URL given: the secret is the key.
    CWebhookConfig ding = Hook(CWebhookConfig::Kind::DingTalk,
                               "https://oapi.dingtalk.com/robot/send?access_token=TOK");
    ding.secret = "SECabc123";
    EXPECT_EQ(CWebhookRequest::Build(ding, alert, 1700000000000).url, signedUrl);
    // The preset's URL: the token and the key, in that order.
    ding.url = CWebhookConfig::DefaultUrl(CWebhookConfig::Kind::DingTalk);
    ding.secret = "TOK  SECabc123";
    EXPECT_EQ(CWebhookRequest::Build(ding, alert, 1700000000000).url, signedUrl);
    ding.secret = "TOK";
    EXPECT_EQ(CWebhookRequest::Build(ding, alert, 1700000000000).url,
              "https://oapi.dingtalk.com/robot/send?access_token=TOK");

    CWebhookConfig feishu =
        Hook(CWebhookConfig::Kind::Feishu, "https://open.feishu.cn/open-apis/bot/v2/hook/HOOK");
    feishu.secret = "fs-key";
    const auto body =
        nlohmann::json::parse(CWebhookRequest::Build(feishu, alert, 1700000000123).body);
    EXPECT_EQ(body["timestamp"], "1700000000");
    EXPECT_EQ(body["sign"], "HX0zcjq5xjR9Z8aQ7f7R7eoXsXSH2/nkCDcPjR1+Fs0=");
    EXPECT_EQ(body["msg_type"], "text");

    // Neither word of a two-word secret reaches an answer shown or kept.
    EXPECT_EQ(CWebhookRequest::Redact("token TOK, key SECabc123", "TOK  SECabc123"),
              "token ***, key ***");
}

TEST(WebhookRequest, TemplateFieldsAreEscapedForJsonAndUnknownNamesStay)
{
    CAlertEvent event = Event(3, "600103", "名\"字\\");
    const std::string filled = CWebhookRequest::Fill(
        R"({"n":"{{name}}","c":"{{code}}","p":{{price}},"x":"{{nope}}","all":{{json}}})", event, "",
        true);
    const auto json = nlohmann::json::parse(filled);
    EXPECT_EQ(json["n"], "名\"字\\");
    EXPECT_EQ(json["c"], "600103");
    EXPECT_EQ(json["p"], 3.04);
    EXPECT_EQ(json["x"], "{{nope}}");
    EXPECT_EQ(json["all"]["sequence"], 3);
    EXPECT_EQ(CWebhookRequest::Fill("{{unclosed", event, "", true), "{{unclosed");
    EXPECT_EQ(CWebhookRequest::Redact("a KEY b KEYKEY", "KEY"), "a *** b ******");
}

// Alerts that wait for a robot go in one text, each as it would go alone, under a line that
// counts them; no more than the robot's length limit carries. A template's receiver gets each
// alert alone.
TEST(WebhookRequest, RobotsCarryTheAlertsThatWaitInOneText)
{
    std::vector<CAlertEvent> waiting;
    for (std::uint64_t sequence = 1; sequence <= 25; ++sequence)
        waiting.push_back(Event(sequence, std::to_string(600100 + sequence)));
    const std::string one = nlohmann::json::parse(
        CWebhookRequest::Build(Hook(CWebhookConfig::Kind::WeCom, "http://127.0.0.1/"), waiting[0])
            .body)["text"]["content"];
    const std::string alone = one.substr(one.find(' ') + 1);

    auto text = [&](CWebhookConfig::Kind kind, std::size_t count) {
        const std::vector<CAlertEvent> events(waiting.begin(), waiting.begin() + count);
        const auto body = nlohmann::json::parse(
            CWebhookRequest::Build(Hook(kind, "http://127.0.0.1/"), events, 0).body);
        return kind == CWebhookConfig::Kind::Telegram ? body["text"].get<std::string>()
                                                      : body["text"]["content"].get<std::string>();
    };
    const std::string wecom = text(CWebhookConfig::Kind::WeCom, 25);
    EXPECT_EQ(wecom.rfind("8 条预警\n\n青山纸业 600101 达到涨停价\n", 0), 0u) << wecom;
    EXPECT_NE(wecom.find("\n\n青山纸业 600108 "), std::string::npos);
    EXPECT_EQ(wecom.find("600109"), std::string::npos);
    EXPECT_LE(wecom.size(), 2048u);
    EXPECT_EQ(text(CWebhookConfig::Kind::Telegram, 2),
              "2 条预警\n\n" + one + "\n\n青山纸业 600102 " + alone.substr(alone.find(' ') + 1));
    EXPECT_EQ(text(CWebhookConfig::Kind::DingTalk, 1), one);

    const auto generic = nlohmann::json::parse(
        CWebhookRequest::Build(Hook(CWebhookConfig::Kind::Generic, "http://127.0.0.1/"), waiting, 0)
            .body);
    EXPECT_EQ(generic["code"], "600101");
    EXPECT_EQ(CWebhookConfig::MostFolded(CWebhookConfig::Kind::Ntfy), 1u);
    EXPECT_EQ(CWebhookConfig::MessagesPerMinute(CWebhookConfig::Kind::DingTalk), 20);
    EXPECT_EQ(CWebhookConfig::MessagesPerMinute(CWebhookConfig::Kind::Generic), 0);
    EXPECT_EQ(CWebhookConfig::MessagesPerSecond(CWebhookConfig::Kind::Feishu), 5);
}

// A burst for a WeCom robot held to its limit: the alerts queued behind the first message go in
// as few messages as its length allows, each alert recorded as delivered.
TEST(Webhook, ABurstForARobotGoesInFewMessages)
{
    CLocalHttpServer server({200, 200, 200}, R"({"errcode":0,"errmsg":"ok"})");
    CRecordingLog log;
    COutputWorker worker(std::make_unique<CWebhookOutput>(
                             Hook(CWebhookConfig::Kind::WeCom, server.Url("/send?key=k"))),
                         QuickRetries(), &log);
    auto burst = std::make_shared<std::vector<CAlertEvent>>();
    for (std::uint64_t sequence = 1; sequence <= 10; ++sequence)
        burst->push_back(Event(sequence));
    worker.Push(burst, 0, burst->size());
    worker.Stop(std::chrono::seconds(30));

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    auto content = [&](std::size_t i) {
        return nlohmann::json::parse(requests[i].body)["text"]["content"].get<std::string>();
    };
    EXPECT_EQ(content(0).rfind("8 条预警\n\n", 0), 0u) << content(0);
    EXPECT_EQ(content(1).rfind("2 条预警\n\n", 0), 0u) << content(1);
    EXPECT_EQ(worker.GetStatus().delivered, 10);
    EXPECT_EQ(worker.GetStatus().attempts, 2);
    EXPECT_EQ(log.Entries().size(), 10u);
}
