#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "engine/CSystemAlertStore.h"
#include "platform/core/TextCodec.h"
#include "platform/core/VelkFile.h"
#include "tests/engine/CVelkAlertTestAccess.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/FakeWindowing.h"

namespace {

Ta_ALERTSETTING SampleSetting()
{
    Ta_ALERTSETTING s{};
    s.m_bPopupDialog = 0;
    s.m_bSound = 0;
    s.m_bNewHigh = 1;
    s.m_bNewLow = 0;
    s.m_bLimitPrice = 1;
    s.m_fRiseRatio = 4.5f;
    s.m_fFallRatio = -1.0f;
    s.m_fVolumeRatio = 7.0f;
    s.m_fSingleRatio = 3.0f;
    s.m_fLargeAmount = 250.0f;
    s.m_fLargeVolume = 0.5f;
    return s;
}

Ta_OTHERALERT SampleOptions()
{
    Ta_OTHERALERT o{};
    o.m_nSoundMode = 2;
    VelkCopyText(o.m_szWavePath, "/sounds/ding.wav");
    o.m_byPopup = 0;
    return o;
}

Ta_VELKPRICEALERT SampleWatch(unsigned char market, const std::string& code, float upper,
                              float lower)
{
    Ta_VELKPRICEALERT w = MakeWatch(market, code, "\xCD\xF2\xBF\xC6\xA3\xC1", upper, lower);
    w.m_fPreClose = 9.87f;
    w.m_fLast = 10.01f;
    w.m_nMagic[3] = 1;
    w.m_nMagic[17] = 1;
    return w;
}

// An engine over its own quote service, with the system path pointing into a temp dir.
class ConditionFiles : public ::testing::Test {
protected:
    ConditionFiles() : m_guard(m_store) { m_store.SetSysPath(m_hostSys.Path()); }

    std::unique_ptr<CVelkAlert> MakeEngine()
    {
        auto engine = std::make_unique<CVelkAlert>(CVelkServices{});
        std::string path = m_sys.Path();
        engine->SetSYSPath(path);
        return engine;
    }

    void WriteSys(const std::string& name, const std::string& bytes)
    {
        ASSERT_TRUE(VelkReplaceFile(m_sys.File(name), bytes));
    }

    std::string ReadSys(const std::string& name)
    {
        std::string bytes;
        VelkReadFile(m_sys.File(name), bytes);
        return bytes;
    }

    static std::vector<Ta_VELKPRICEALERT>& PriceList(CVelkAlert& engine)
    {
        std::vector<Ta_VELKPRICEALERT>* list = nullptr;
        engine.GetPriceAlter(&list);
        return *list;
    }

    static std::vector<Ta_VELKPRICEALERT>& MagicList(CVelkAlert& engine)
    {
        std::vector<Ta_VELKPRICEALERT>* list = nullptr;
        engine.GetMagicAlter(&list);
        return *list;
    }

    static Ta_OTHERALERT& Options(CVelkAlert& engine)
    {
        Ta_OTHERALERT* options = nullptr;
        engine.GetAlertCondition(&options);
        return *options;
    }

    static void ExpectDefaultRatios(const Ta_ALERTSETTING& s)
    {
        EXPECT_EQ(+s.m_bSound, 1);
        EXPECT_EQ(+s.m_bNewHigh, 1);
        EXPECT_EQ(+s.m_bNewLow, 1);
        EXPECT_EQ(+s.m_bLimitPrice, 1);
        EXPECT_FLOAT_EQ(s.m_fRiseRatio, -1.0f);
        EXPECT_FLOAT_EQ(s.m_fFallRatio, -1.0f);
        EXPECT_FLOAT_EQ(s.m_fVolumeRatio, 50.0f);
        EXPECT_FLOAT_EQ(s.m_fSingleRatio, 2.0f);
        EXPECT_FLOAT_EQ(s.m_fLargeAmount, 100.0f);
        EXPECT_FLOAT_EQ(s.m_fLargeVolume, 0.1f);
    }

    CQuoteStore m_store;
    CScopedHostBackend m_guard;
    CTempDir m_sys;
    CTempDir m_hostSys;
};

} // namespace

TEST_F(ConditionFiles, StartWithoutFilesKeepsDefaults)
{
    auto engine = MakeEngine();
    engine->Start();
    EXPECT_TRUE(PriceList(*engine).empty());
    EXPECT_TRUE(MagicList(*engine).empty());
    ExpectDefaultRatios(engine->GetAlertSetting());
    EXPECT_EQ(+engine->GetAlertSetting().m_bPopupDialog, 1);
    EXPECT_EQ(+Options(*engine).m_nSoundMode, 1);
    EXPECT_EQ(Options(*engine).m_byPopup, 1);
    EXPECT_EQ(Options(*engine).m_szWavePath[0], '\0');
    EXPECT_EQ(engine->GetSystemSwitch().m_byLimit, 1);
    EXPECT_EQ(+engine->GetSystemSwitch().m_nRange, 2);
}

TEST_F(ConditionFiles, HeaderOnlyAlertFileLoadsSettingsAndOptions)
{
    WriteSys("alert.cfg", RawBytes(SampleSetting()) + RawBytes(SampleOptions()));
    WriteSys("Magic.cfg", "");
    auto engine = MakeEngine();
    EXPECT_EQ(engine->LoadAlertCondition(), 1) << "an empty Magic.cfg still counts as read";
    Ta_ALERTSETTING setting = SampleSetting();
    EXPECT_EQ(std::memcmp(&engine->GetAlertSetting(), &setting, 44), 0);
    Ta_OTHERALERT expected = SampleOptions();
    EXPECT_EQ(std::memcmp(&Options(*engine), &expected, 265), 0);
    EXPECT_TRUE(PriceList(*engine).empty());
    EXPECT_TRUE(MagicList(*engine).empty());
    EXPECT_EQ(engine->GetPriceAlertCount(), 0);
}

TEST_F(ConditionFiles, WholeRecordsLoadAndTrailingBytesAreIgnored)
{
    Ta_VELKPRICEALERT a = SampleWatch(1, "600103", 3.0f, 2.5f);
    Ta_VELKPRICEALERT b = SampleWatch(10, "000001", 12.0f, 0);
    Ta_VELKPRICEALERT c = SampleWatch(1, "600103", 3.5f, 2.0f); // the same stock again
    std::string file = RawBytes(SampleSetting()) + RawBytes(SampleOptions()) + RawBytes(a) +
                       RawBytes(b) + RawBytes(c) + std::string(10, '\x7f');
    ASSERT_EQ(file.size(), 309u + 151 * 3 + 10);
    WriteSys("alert.cfg", file);
    WriteSys("Magic.cfg", RawBytes(b) + RawBytes(a) + std::string(150, '\0'));

    auto engine = MakeEngine();
    EXPECT_EQ(engine->LoadAlertCondition(), 1);
    ASSERT_EQ(PriceList(*engine).size(), 3u);
    EXPECT_EQ(engine->GetPriceAlertCount(), 3);
    EXPECT_EQ(std::memcmp(&PriceList(*engine)[1], &b, 151), 0);
    EXPECT_EQ(engine->GetPriceAlertMap().at("1600103"), 2) << "the later record wins";
    EXPECT_EQ(engine->GetPriceAlertMap().at("10000001"), 1);

    ASSERT_EQ(MagicList(*engine).size(), 2u);
    EXPECT_EQ(engine->GetMagicAlertCount(), 2);
    EXPECT_EQ(engine->GetMagicAlertMap().at("0a000001"), 0) << "magic keys are hexadecimal";
    EXPECT_EQ(engine->GetMagicAlertMap().at("01600103"), 1);
    EXPECT_EQ(engine->GetMagicAlertMap().count("10000001"), 0u);
}

TEST_F(ConditionFiles, AlertFileWithoutMagicFileDefaultsOnlyTheRatiosThroughStart)
{
    Ta_VELKPRICEALERT a = SampleWatch(1, "600000", 8.0f, 7.0f);
    WriteSys("alert.cfg", RawBytes(SampleSetting()) + RawBytes(SampleOptions()) + RawBytes(a));
    auto engine = MakeEngine();
    EXPECT_EQ(engine->LoadAlertCondition(), 0);
    engine->Start();
    ExpectDefaultRatios(engine->GetAlertSetting());
    EXPECT_EQ(+Options(*engine).m_nSoundMode, 2);
    EXPECT_EQ(Options(*engine).m_byPopup, 0);
    ASSERT_EQ(PriceList(*engine).size(), 1u);
    EXPECT_EQ(std::memcmp(&PriceList(*engine)[0], &a, 151), 0);
}

TEST_F(ConditionFiles, MissingAlertFileKeepsWhatTheEngineHeld)
{
    Ta_VELKPRICEALERT a = SampleWatch(1, "600000", 8.0f, 7.0f);
    WriteSys("alert.cfg", RawBytes(SampleSetting()) + RawBytes(SampleOptions()) + RawBytes(a));
    WriteSys("Magic.cfg", RawBytes(a));
    auto engine = MakeEngine();
    ASSERT_EQ(engine->LoadAlertCondition(), 1);
    std::filesystem::remove(m_sys.File("alert.cfg"));
    std::filesystem::remove(m_sys.File("Magic.cfg"));
    EXPECT_EQ(engine->LoadAlertCondition(), 0);
    EXPECT_EQ(PriceList(*engine).size(), 1u);
    EXPECT_EQ(MagicList(*engine).size(), 1u);
    EXPECT_EQ(+Options(*engine).m_nSoundMode, 2);
}

TEST_F(ConditionFiles, ShortAlertFileFillsOnlyWhatItHolds)
{
    Ta_ALERTSETTING s = SampleSetting();
    WriteSys("alert.cfg", RawBytes(s).substr(0, 10));
    WriteSys("Magic.cfg", "");
    auto engine = MakeEngine();
    EXPECT_EQ(engine->LoadAlertCondition(), 1);
    EXPECT_EQ(+engine->GetAlertSetting().m_bPopupDialog, 0);
    EXPECT_EQ(+engine->GetAlertSetting().m_bSound, 0);
    EXPECT_EQ(+engine->GetAlertSetting().m_bNewHigh, 1)
        << "the first two bytes of it came from the file";
    EXPECT_FLOAT_EQ(engine->GetAlertSetting().m_fVolumeRatio, 50.0f);
    EXPECT_EQ(+Options(*engine).m_nSoundMode, 1);
    EXPECT_TRUE(PriceList(*engine).empty());
}

TEST_F(ConditionFiles, UnterminatedTextFieldsAreCutInsideTheirWidth)
{
    Ta_VELKPRICEALERT w{};
    w.m_byMarket = 1;
    std::memset(w.m_szCode, '6', sizeof w.m_szCode);
    std::memset(w.m_szName, 'N', sizeof w.m_szName);
    Ta_OTHERALERT o{};
    std::memset(o.m_szWavePath, 'p', sizeof o.m_szWavePath);
    o.m_byPopup = 1;
    WriteSys("alert.cfg", RawBytes(SampleSetting()) + RawBytes(o) + RawBytes(w));
    WriteSys("Magic.cfg", RawBytes(w));
    auto engine = MakeEngine();
    ASSERT_EQ(engine->LoadAlertCondition(), 1);
    const Ta_VELKPRICEALERT& loaded = PriceList(*engine).at(0);
    EXPECT_EQ(VelkFieldText(loaded.m_szCode), std::string(11, '6'));
    EXPECT_EQ(VelkFieldText(loaded.m_szName), std::string(49, 'N'));
    EXPECT_EQ(engine->GetPriceAlertMap().count("1" + std::string(11, '6')), 1u);
    EXPECT_EQ(engine->GetMagicAlertMap().count("01" + std::string(11, '6')), 1u);
    EXPECT_EQ(std::strlen(Options(*engine).m_szWavePath), 259u);
}

TEST_F(ConditionFiles, SaveWritesTheExactLayout)
{
    Ta_VELKPRICEALERT a = SampleWatch(1, "600103", 3.0f, 2.5f);
    Ta_VELKPRICEALERT b = SampleWatch(2, "000002", 20.0f, 18.0f);
    WriteSys("alert.cfg",
             RawBytes(SampleSetting()) + RawBytes(SampleOptions()) + RawBytes(a) + RawBytes(b));
    WriteSys("Magic.cfg", RawBytes(b));
    auto engine = MakeEngine();
    ASSERT_EQ(engine->LoadAlertCondition(), 1);

    Ta_VELKPRICEALERT c = SampleWatch(10, "300750", 500.0f, 400.0f);
    MagicList(*engine).push_back(c);
    engine->SaveAlertCondition();

    EXPECT_EQ(ReadSys("alert.cfg"),
              RawBytes(SampleSetting()) + RawBytes(SampleOptions()) + RawBytes(a) + RawBytes(b));
    EXPECT_EQ(ReadSys("Magic.cfg"), RawBytes(b) + RawBytes(c))
        << "the magic list's length decides, not its count";
    EXPECT_EQ(engine->GetMagicAlertMap().at("0a300750"), 1);
}

TEST_F(ConditionFiles, SaveNeverWritesMoreRecordsThanTheListHolds)
{
    WriteSys("alert.cfg", RawBytes(SampleSetting()) + RawBytes(SampleOptions()) +
                              RawBytes(SampleWatch(1, "600000", 1, 0)) +
                              RawBytes(SampleWatch(1, "600001", 1, 0)));
    WriteSys("Magic.cfg", "");
    auto engine = MakeEngine();
    ASSERT_EQ(engine->LoadAlertCondition(), 1);
    ASSERT_EQ(engine->GetPriceAlertCount(), 2);
    PriceList(*engine).pop_back(); // the host shortened the list through its pointer
    engine->SaveAlertCondition();
    EXPECT_EQ(ReadSys("alert.cfg").size(), 309u + 151);

    PriceList(*engine).push_back(SampleWatch(1, "600002", 1, 0));
    PriceList(*engine).push_back(SampleWatch(1, "600003", 1, 0));
    engine->SaveAlertCondition();
    EXPECT_EQ(ReadSys("alert.cfg").size(), 309u + 151 * 2)
        << "the count member decides below the length";
}

TEST_F(ConditionFiles, SaveAndLoadRoundTrip)
{
    auto engine = MakeEngine();
    engine->Start();
    Options(*engine) = SampleOptions();
    PriceList(*engine).push_back(SampleWatch(1, "600519", 2000.0f, 1500.0f));
    MagicList(*engine).push_back(SampleWatch(1, "600519", 0, 0));
    engine->SaveAlertCondition();
    EXPECT_EQ(ReadSys("alert.cfg").size(), 309u) << "the count is still 0: only the page sets it";

    auto second = MakeEngine();
    second->Start();
    EXPECT_EQ(+Options(*second).m_nSoundMode, 2);
    EXPECT_EQ(MagicList(*second).size(), 1u);
    EXPECT_EQ(second->GetMagicAlertMap().count("01600519"), 1u);
}

TEST_F(ConditionFiles, EmptySystemPathUsesTheHostSystemDirectory)
{
    ASSERT_TRUE(VelkReplaceFile(m_hostSys.File("alert.cfg"),
                                RawBytes(SampleSetting()) + RawBytes(SampleOptions())));
    ASSERT_TRUE(VelkReplaceFile(m_hostSys.File("Magic.cfg"), std::string()));
    CVelkAlert engine{CVelkServices{}};
    EXPECT_EQ(engine.LoadAlertCondition(), 1);
    EXPECT_EQ(+engine.GetAlertSetting().m_bSound, 0);
}

TEST_F(ConditionFiles, UnwritableDirectoryFailsTheSaveWithoutAMessage)
{
    auto engine = MakeEngine();
    std::string nowhere = m_sys.Path() + "/missing/dir";
    engine->SetSYSPath(nowhere);
    EXPECT_FALSE(engine->SaveAlertCondition());
    EXPECT_FALSE(VelkFileExists(nowhere + "/alert.cfg"));
    EXPECT_EQ(engine->DefaultMessageBox().Count(), 0) << "only a save the user asked for warns";
}

// After the user confirmed the settings, every file that kept its old content is named in one
// warning; the others are written all the same.
TEST_F(ConditionFiles, ConfirmedSettingsWarnOnceOfEveryFileNotSaved)
{
    struct Case {
        std::vector<std::string> blocked; // names that a folder occupies, so no file replaces them
        bool pageSaves;                   // the system alert page committed its part
    } cases[] = {
        {{}, true},
        {{"alert.cfg"}, false},
        {{"alert.cfg", "Magic.cfg"}, false},
        {{"System_alert.cfg"}, true},
        {{"System_alert.cfg"}, false},
    };
    for (const Case& c : cases) {
        CTempDir sys;
        for (const std::string& name : c.blocked)
            std::filesystem::create_directory(sys.File(name));
        CFakeWindowing windowing;
        windowing.m_onSettings = [&](CSettingsBinding& binding) {
            binding.bSystemCommitted = c.pageSaves;
            return VelkMsgBox::kIdOk;
        };
        CRecordingMessageBox box;
        CVelkAlert engine(CVelkServices{&windowing, &box, nullptr, nullptr});
        CString path = sys.Path();
        engine.SetSYSPath(path);
        engine.SetAlertCondition();
        engine.WaitForRegistration();

        std::vector<std::string> unsaved;
        for (const std::string& name : c.blocked) {
            if (name != "System_alert.cfg" || c.pageSaves)
                unsaved.push_back(name);
        }
        const std::string what =
            ::testing::PrintToString(c.blocked) + (c.pageSaves ? " page saved" : "");
        ASSERT_EQ(box.Count(), unsaved.empty() ? 0 : 1) << what;
        for (const char* name : {"alert.cfg", "Magic.cfg", "System_alert.cfg"}) {
            const bool named = std::find(unsaved.begin(), unsaved.end(), name) != unsaved.end();
            EXPECT_EQ(box.LastText().find(sys.File(name)) != std::string::npos, named)
                << what << " " << name;
            if (std::string(name) != "System_alert.cfg" && !named) {
                EXPECT_TRUE(std::filesystem::is_regular_file(sys.File(name)))
                    << what << " " << name;
            }
        }
        if (!unsaved.empty()) {
            EXPECT_EQ(box.LastCaption(), TextCodec::Utf8ToGbk("警告"));
            EXPECT_EQ(box.LastFlags(), VelkMsgBox::kOk | VelkMsgBox::kIconExclamation);
        }
        EXPECT_EQ(engine.SaveAlertCondition(),
                  std::find(c.blocked.begin(), c.blocked.end(), "alert.cfg") == c.blocked.end())
            << what;
    }
}

namespace {

std::vector<std::string> WatchCodes(const std::vector<Ta_VELKPRICEALERT>& records)
{
    std::vector<std::string> codes;
    for (const Ta_VELKPRICEALERT& record : records)
        codes.push_back(std::to_string(record.m_byMarket) + VelkFieldText(record.m_szCode));
    return codes;
}

} // namespace

// The sheet hands the engine one value: the parts its pages committed change the engine and
// System_alert.cfg, the others stay as they are, whether the sheet handed the value over while
// it was open or only answered OK.
TEST_F(ConditionFiles, TheEngineTakesOnlyThePartsOfTheSheetsValueThatAPageCommitted)
{
    using TA = CVelkAlertTestAccess;
    enum Part { kNone, kSystem, kMagic, kPrice, kOptions };
    for (bool handOver : {true, false}) {
        for (Part part : {kNone, kSystem, kMagic, kPrice, kOptions}) {
            const std::string what = std::to_string(part) + (handOver ? "" : " answered only");
            CTempDir sys;
            CFakeWindowing windowing;
            windowing.m_bHandOver = handOver;
            windowing.m_onSettings = [&](CSettingsBinding& binding) {
                EXPECT_EQ(WatchCodes(binding.systemList), std::vector<std::string>{"1600000"});
                EXPECT_EQ(binding.magicCount, 1);
                // Every part is edited; only one is marked as committed.
                binding.systemSwitches = Ta_SYSTEMSWITCH{1, 1, 0, 2};
                binding.systemList = {MakeWatch(2, "000002")};
                binding.magicList = {MakeWatch(2, "000001"), MakeWatch(1, "600036")};
                binding.magicCount = 2;
                binding.priceList.clear();
                binding.priceCount = 0;
                binding.options.m_nSoundMode = 0;
                binding.bSystemCommitted = part == kSystem;
                binding.bMagicCommitted = part == kMagic;
                binding.bPriceCommitted = part == kPrice;
                binding.bOptionsCommitted = part == kOptions;
                return VelkMsgBox::kIdOk;
            };
            CRecordingMessageBox box;
            CVelkAlert engine(CVelkServices{&windowing, &box, nullptr, nullptr});
            CString path = sys.Path();
            engine.SetSYSPath(path);
            TA::SetSystemList(engine, {MakeWatch(1, "600000")});
            TA::SetMagicList(engine, {MakeWatch(1, "600000")});
            TA::SetPriceList(engine, {MakeWatch(1, "601398", "", 9.5f, 8.0f)});
            engine.SetAlertCondition();
            engine.WaitForRegistration();

            // Range 2 is in force either way: the list the sheet ran with is applied.
            EXPECT_EQ(WatchCodes(TA::SystemList(engine)),
                      std::vector<std::string>{part == kSystem ? "2000002" : "1600000"})
                << what;
            EXPECT_EQ(RawBytes(TA::SystemSwitch(engine)),
                      RawBytes(part == kSystem ? Ta_SYSTEMSWITCH{1, 1, 0, 2}
                                               : Ta_SYSTEMSWITCH{0, 0, 1, 2}))
                << what;
            std::string systemFile;
            const bool written = VelkReadFile(sys.File("System_alert.cfg"), systemFile);
            EXPECT_EQ(written, part == kSystem) << what;
            if (written) {
                EXPECT_EQ(systemFile,
                          RawBytes(Ta_SYSTEMSWITCH{1, 1, 0, 2}) + RawBytes(MakeWatch(2, "000002")))
                    << what;
            }
            const std::vector<std::string> magic =
                part == kMagic ? std::vector<std::string>{"2000001", "1600036"}
                               : std::vector<std::string>{"1600000"};
            EXPECT_EQ(WatchCodes(TA::MagicList(engine)), magic) << what;
            EXPECT_EQ(TA::MagicCount(engine), part == kMagic ? 2 : 1) << what;
            EXPECT_EQ(TA::PriceList(engine).size(), part == kPrice ? 0u : 1u) << what;
            EXPECT_EQ(TA::PriceCount(engine), part == kPrice ? 0 : 1) << what;
            EXPECT_EQ(TA::Options(engine).m_nSoundMode, part == kOptions ? 0 : 1) << what;
            EXPECT_EQ(box.Count(), 0) << what;
            if (handOver) {
                EXPECT_TRUE(windowing.m_lastResult.bTaken) << what;
                EXPECT_TRUE(windowing.m_lastResult.unsavedFiles.empty()) << what;
            }
        }
    }
}

// A System_alert.cfg that cannot be written comes back in the engine's answer to the sheet,
// and the user hears of it once the sheet has closed; the list applies for this run.
TEST_F(ConditionFiles, TheSystemFileTheEngineCouldNotWriteComesBackInItsAnswer)
{
    using TA = CVelkAlertTestAccess;
    CTempDir sys;
    std::filesystem::create_directory(sys.File("System_alert.cfg"));
    CFakeWindowing windowing;
    windowing.m_onSettings = [](CSettingsBinding& binding) {
        binding.systemList = {MakeWatch(2, "000002")};
        binding.bSystemCommitted = true;
        return VelkMsgBox::kIdOk;
    };
    CRecordingMessageBox box;
    CVelkAlert engine(CVelkServices{&windowing, &box, nullptr, nullptr});
    CString path = sys.Path();
    engine.SetSYSPath(path);
    engine.SetAlertCondition();
    engine.WaitForRegistration();

    EXPECT_TRUE(windowing.m_lastResult.bTaken);
    EXPECT_EQ(windowing.m_lastResult.unsavedFiles,
              std::vector<std::string>{sys.File("System_alert.cfg")});
    EXPECT_EQ(WatchCodes(TA::SystemList(engine)), std::vector<std::string>{"2000002"});
    ASSERT_EQ(box.Count(), 1);
    EXPECT_NE(box.LastText().find(sys.File("System_alert.cfg")), std::string::npos);
}

// The alert setting page hands the engine a record; the engine takes a sound one and stores it
// with the conditions, and its answer says what it refused or could not write.
TEST_F(ConditionFiles, TheRatioPagesRecordIsTakenByTheEngineWhichAnswersForItsFiles)
{
    enum Outcome { kStored, kCancelled, kNotANumber, kUnwritable };
    for (Outcome outcome : {kStored, kCancelled, kNotANumber, kUnwritable}) {
        const std::string what = std::to_string(outcome);
        CTempDir sys;
        if (outcome == kUnwritable)
            std::filesystem::create_directory(sys.File("alert.cfg"));
        CFakeWindowing windowing;
        CRecordingMessageBox box;
        CVelkAlert engine(CVelkServices{&windowing, &box, nullptr, nullptr});
        CString path = sys.Path();
        engine.SetSYSPath(path);
        const std::string before = RawBytes(engine.GetAlertSetting());
        std::string opened;
        windowing.m_onRatioPage = [&](Ta_ALERTSETTING& committed) {
            opened = RawBytes(committed);
            committed = SampleSetting();
            if (outcome == kNotANumber)
                committed.m_fLargeVolume = std::nanf("");
            return outcome == kCancelled ? VelkMsgBox::kIdCancel : VelkMsgBox::kIdOk;
        };
        const CSettingsResult result = engine.SetRatioSetting();

        EXPECT_EQ(opened, before) << what;
        const bool taken = outcome == kStored || outcome == kUnwritable;
        EXPECT_EQ(result.bTaken, taken) << what;
        EXPECT_EQ(RawBytes(engine.GetAlertSetting()), taken ? RawBytes(SampleSetting()) : before)
            << what;
        // A refusal is the page's to tell while it is open; the run's answer is then a Cancel.
        EXPECT_TRUE(result.strReasonGbk.empty()) << what;
        EXPECT_EQ(windowing.m_lastResult.strReasonGbk.empty(), outcome != kNotANumber) << what;
        std::string alertFile;
        EXPECT_EQ(VelkReadFile(sys.File("alert.cfg"), alertFile), outcome == kStored) << what;
        if (outcome == kStored) {
            EXPECT_EQ(alertFile.substr(0, sizeof(Ta_ALERTSETTING)), RawBytes(SampleSetting()));
        }
        EXPECT_EQ(result.unsavedFiles, outcome == kUnwritable
                                           ? std::vector<std::string>{sys.File("alert.cfg")}
                                           : std::vector<std::string>{})
            << what;
        // The host tells the user of the answer; the engine shows nothing of its own.
        EXPECT_EQ(box.Count(), 0) << what;
    }
}

// The system alert page commits the list it edited together with the file as it read it; a
// stock another program added meanwhile is kept beside the page's, and where both changed the
// same stock the file stays as the other program left it and is named as not saved.
TEST_F(ConditionFiles, TheSystemPagesCommitJoinsWhatAnotherProgramStoredSinceThePageRead)
{
    using TA = CVelkAlertTestAccess;
    const Ta_SYSTEMSWITCH switches{0, 0, 1, 2};
    const Ta_VELKPRICEALERT read = MakeWatch(1, "600000", "PF", 11.0f, 9.0f);
    const std::string base = RawBytes(switches) + RawBytes(read);
    for (bool sameStock : {false, true}) {
        const std::string what = sameStock ? "same stock" : "other stock";
        CTempDir sys;
        Ta_VELKPRICEALERT theirsChanged = read;
        theirsChanged.m_fUpper = 12.0f;
        const std::string theirs = RawBytes(switches) + RawBytes(sameStock ? theirsChanged : read) +
                                   RawBytes(MakeWatch(1, "600036", "ZS"));
        ASSERT_TRUE(VelkReplaceFile(sys.File("System_alert.cfg"), theirs));
        Ta_VELKPRICEALERT oursChanged = read;
        oursChanged.m_fUpper = 13.0f;
        CFakeWindowing windowing;
        windowing.m_onSettings = [&](CSettingsBinding& binding) {
            binding.systemFileBase = base;
            binding.bSystemFileRead = true;
            binding.systemList = {sameStock ? oursChanged : read, MakeWatch(2, "000002", "WK")};
            binding.bSystemCommitted = true;
            return VelkMsgBox::kIdOk;
        };
        CRecordingMessageBox box;
        CVelkAlert engine(CVelkServices{&windowing, &box, nullptr, nullptr});
        CString path = sys.Path();
        engine.SetSYSPath(path);
        engine.SetAlertCondition();
        engine.WaitForRegistration();

        ASSERT_TRUE(windowing.m_lastResult.bTaken) << what;
        std::string file;
        ASSERT_TRUE(VelkReadFile(sys.File("System_alert.cfg"), file)) << what;
        if (!sameStock) {
            EXPECT_EQ(file, RawBytes(switches) + RawBytes(read) +
                                RawBytes(MakeWatch(2, "000002", "WK")) +
                                RawBytes(MakeWatch(1, "600036", "ZS")));
            EXPECT_TRUE(windowing.m_lastResult.unsavedFiles.empty());
            EXPECT_EQ(WatchCodes(TA::SystemList(engine)),
                      (std::vector<std::string>{"1600000", "2000002", "1600036"}));
            EXPECT_EQ(box.Count(), 0);
        } else {
            EXPECT_EQ(file, theirs);
            EXPECT_EQ(windowing.m_lastResult.unsavedFiles,
                      std::vector<std::string>{sys.File("System_alert.cfg")});
            // The page's list is in force for this run.
            EXPECT_EQ(WatchCodes(TA::SystemList(engine)),
                      (std::vector<std::string>{"1600000", "2000002"}));
            ASSERT_FALSE(TA::SystemList(engine).empty());
            EXPECT_FLOAT_EQ(TA::SystemList(engine)[0].m_fUpper, 13.0f);
            ASSERT_EQ(box.Count(), 1);
            EXPECT_NE(box.LastText().find(sys.File("System_alert.cfg")), std::string::npos);
        }
    }
}
