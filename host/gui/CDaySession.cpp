#include "host/gui/CDaySession.h"

#include <QTimer>
#include <algorithm>

#include "engine/CVelkAlert.h"
#include "host/core/CDayFileKeeper.h"
#include "host/core/CDayReplay.h"
#include "host/core/CTradingDay.h"
#include "host/feed/CFeedQuoteSource.h"
#include "host/gui/CLoadErrorText.h"
#include "host/gui/CReplayController.h"
#include "host/gui/CSystemErrorText.h"
#include "hostlibs/CQuoteStore.h"
#include "platform/qt/MessageBoxService.h"

CDaySession::CDaySession(std::string sysDir, const CVelkServices& services, QObject* parent)
    : QObject(parent), m_strSysDir(std::move(sysDir)), m_sound(services.pSound),
      m_services(services), m_pController(new CReplayController(this))
{
    m_services.pSound = &m_sound;
}

CDaySession::~CDaySession()
{
    CloseDay();
}

bool CDaySession::OpenDay(const QString& folder, QString* error)
{
    auto day = std::make_unique<CTradingDay>();
    std::string problem;
    if (!day->Load(folder.toStdString(), problem)) {
        if (error)
            *error = CLoadErrorText::Translate(problem);
        return false;
    }
    OpenLoadedDay(std::move(day), folder);
    return true;
}

void CDaySession::OpenLoadedDay(std::unique_ptr<CTradingDay> day, const QString& folder)
{
    if (!day)
        return;
    auto replay = std::make_unique<CDayReplay>(*day, CQuoteStore::Instance());
    OpenDayWithSource(std::move(day), std::move(replay), folder, DayFileUse::FreshReplay);
}

void CDaySession::OpenDayWithSource(std::unique_ptr<CTradingDay> day,
                                    std::unique_ptr<IQuoteSource> source, const QString& folder,
                                    DayFileUse use)
{
    if (!day || !source)
        return;
    // The source may read the day it came with: the old day goes first, the new one is kept
    // alive as long as its source.
    CloseDay();
    m_pDay = std::move(day);
    m_pSource = std::move(source);
    m_dayFileUse = use;
    m_strDayFolder = folder;
    m_pSource->SetAfterEachTrade([this](unsigned char market, const std::string& code) {
        if (m_tradeListener)
            m_tradeListener(market, code);
    });
    StartEngine();
}

void CDaySession::StartEngine()
{
    // The quote service starts the day afresh: no trade of an earlier run is known to it.
    m_pSource->FillStore(m_strSysDir);
    if (m_dayFileUse == DayFileUse::FreshReplay) {
        const CDayFileKeeper::Result kept =
            CDayFileKeeper::KeepAside(CDayFileKeeper::DayFilePath(m_pDay->TradeDate()));
        if (!kept.ok) {
            Q_EMIT Failure(tr("无法把先前的报警记录移到一旁，本次回放将接着它记录：%1")
                               .arg(CSystemErrorText::Translate(kept.error)));
        } else if (!kept.keptPath.empty()) {
            m_strKeptDayFile = QString::fromStdString(kept.keptPath);
            Q_EMIT DayFileKeptAside(m_strKeptDayFile);
        }
    }

    m_pEngine = std::make_unique<CVelkAlert>(m_services);
    CString sysPath = m_strSysDir;
    m_pEngine->SetSYSPath(sysPath);
    m_pEngine->SetAlertObserver(this);
    m_pEngine->Start();

    m_nAlertsSoFar = 0;
    m_pController->Attach(m_pSource.get(), m_pEngine.get());
    Q_EMIT DayOpened();
}

void CDaySession::Restart()
{
    if (!m_pEngine || m_bInSettings)
        return;
    m_pController->Detach();
    // The engine goes first: its alert list window writes the run's alerts to the day file,
    // which the fresh run then keeps aside.
    m_pEngine->SetAlertObserver(nullptr);
    m_pEngine.reset();
    StartEngine();
}

void CDaySession::SeekTo(int target)
{
    if (!m_pEngine || m_bInSettings)
        return;
    const bool playing = m_pController->GetState() == CReplayController::State::Playing;
    Restart();
    m_pController->RunTo(target, playing);
}

void CDaySession::CloseDay()
{
    if (m_pEngine)
        Q_EMIT DayClosing();
    m_pController->Detach();
    if (m_pEngine)
        m_pEngine->SetAlertObserver(nullptr);
    m_pEngine.reset();
    m_pSource.reset();
    // Millions of trades take longer to free than the window may stay deaf; nothing reads the
    // day once its source is gone.
    if (m_pDay) {
        m_disposal.Dispose(std::move(m_pClosedDay));
        m_pClosedDay = std::move(m_pDay);
        QTimer::singleShot(0, this, [this] { m_disposal.Dispose(std::move(m_pClosedDay)); });
    }
    m_strDayFolder.clear();
    m_strKeptDayFile.clear();
}

bool CDaySession::IsLive() const
{
    return dynamic_cast<const CFeedQuoteSource*>(m_pSource.get()) != nullptr;
}

void CDaySession::AddAlertObserver(IVelkAlertObserver* observer)
{
    if (observer &&
        std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
        m_observers.push_back(observer);
}

void CDaySession::RemoveAlertObserver(IVelkAlertObserver* observer)
{
    std::erase(m_observers, observer);
}

void CDaySession::SetTradeListener(
    std::function<void(unsigned char market, const std::string& code)> listener)
{
    m_tradeListener = std::move(listener);
}

bool CDaySession::CanOpenSettings() const
{
    return HasDay() && m_services.pWindowing;
}

bool CDaySession::HasRatioPage() const
{
    return CanOpenSettings() && m_services.pWindowing->HasAlertSettingPage();
}

void CDaySession::OpenSettings()
{
    // One sheet at a time: a second request while it runs (a command posted meanwhile) is void.
    if (!m_pEngine || m_bInSettings)
        return;
    m_bInSettings = true;
    m_pEngine->SetAlertCondition();
    m_bInSettings = false;
}

std::vector<std::string> CDaySession::OpenRatioSettings()
{
    if (!HasRatioPage() || m_bInSettings)
        return {};
    m_bInSettings = true;
    // The page commits a value, the engine takes and stores it; what it could not write comes
    // back in its answer.
    const CSettingsResult result = m_pEngine->SetRatioSetting();
    m_bInSettings = false;
    if (!result.bTaken)
        return {};
    return result.unsavedFiles;
}

void CDaySession::ShowAlertList()
{
    if (m_pEngine)
        m_pEngine->PopAlertDialog();
}

void CDaySession::HideAlertList()
{
    if (m_pEngine)
        m_pEngine->HideAlertDialog();
}

void CDaySession::NewDay()
{
    if (!m_pEngine)
        return;
    m_pEngine->ClearAllData();
    m_nAlertsSoFar = 0;
}

bool CDaySession::AddToMonitor(unsigned char market, const std::string& code)
{
    if (!m_pEngine)
        return false;
    std::vector<Ta_VELKPRICEALERT>* monitored = nullptr;
    m_pEngine->GetSystemAlert(&monitored);
    if (monitored)
        for (const Ta_VELKPRICEALERT& stock : *monitored)
            if (stock.m_byMarket == market && code == stock.m_szCode)
                return false;
    m_pEngine->AddStockToSystemAlert(market, code);
    return true;
}

void CDaySession::OnAlertRecorded(const Ta_ALERTRECORD& record)
{
    ++m_nAlertsSoFar;
    // A copy: an observer may remove itself while it hears of the alert.
    const std::vector<IVelkAlertObserver*> observers = m_observers;
    for (IVelkAlertObserver* observer : observers)
        observer->OnAlertRecorded(record);
}
