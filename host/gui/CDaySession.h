#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/VelkServices.h"
#include "host/core/CBackgroundDisposal.h"
#include "host/gui/CSwitchableSound.h"

class CReplayController;
class CTradingDay;
class CVelkAlert;
class IQuoteSource;

// One trading day of the desktop program without its windows: the day's data, the source that
// hands its quotes to the engine (the day's replay, or a feed of the caller's), the engine that
// runs for the day and the clock that drives it. The windows show what it holds and ask it for
// the module's commands; hosts of alerts (outputs, monitors) listen through its observers.
class CDaySession final : public QObject, private IVelkAlertObserver {
    Q_OBJECT
public:
    // What becomes of the day file an earlier run of the same date left. A replay starts from a
    // clean alert list and keeps the earlier file aside; a live session goes on with it, as the
    // module does.
    enum class DayFileUse { FreshReplay, Continue };

    // sysDir is the engine's system directory. services are the module's (windows, message
    // boxes, sound); the sound goes through the session's sound switch.
    CDaySession(std::string sysDir, const CVelkServices& services, QObject* parent = nullptr);
    ~CDaySession() override;

    // Checks the folder's trading day and, when it is sound, ends the day in place (its engine
    // writes the day file) and starts a new engine on it, paused at the day's start. A bad
    // folder leaves the day in place and gives the reason in error.
    bool OpenDay(const QString& folder, QString* error = nullptr);
    // The same with a day already loaded from folder; its own trades are replayed from a clean
    // alert list.
    void OpenLoadedDay(std::unique_ptr<CTradingDay> day, const QString& folder);
    // The same with quotes from another source (a live feed) over the day's markets and
    // symbols. The source is driven by the session's controller like a replay.
    void OpenDayWithSource(std::unique_ptr<CTradingDay> day, std::unique_ptr<IQuoteSource> source,
                           const QString& folder, DayFileUse use = DayFileUse::Continue);
    // The day's replay starts again from the open with a new engine and a clean alert list;
    // the alerts of the run so far stay in the day file kept aside.
    void Restart();
    // The engine's state depends on the whole path: the replay starts again and runs at full
    // speed to the second `target`, then plays on if it was playing.
    void SeekTo(int target);
    // Ends the day: the engine goes (its alert list window writes the day file).
    void CloseDay();

    bool HasDay() const { return m_pEngine != nullptr; }
    // The day is a live feed's, not a replay of a folder.
    bool IsLive() const;
    const CTradingDay* Day() const { return m_pDay.get(); }
    QString DayFolder() const { return m_strDayFolder; }
    const std::string& SysDir() const { return m_strSysDir; }
    CVelkAlert* Engine() const { return m_pEngine.get(); }
    IQuoteSource* Source() const { return m_pSource.get(); }
    CReplayController* Controller() const { return m_pController; }
    CSwitchableSound& Sound() { return m_sound; }
    const CVelkServices& Services() const { return m_services; }

    // Alerts recorded since the day was opened or the last new day.
    int AlertsSoFar() const { return m_nAlertsSoFar; }

    // Observers hear of every alert the engine records, in the order recorded, after the
    // session has counted it. Not owned; they must be removed before they go.
    void AddAlertObserver(IVelkAlertObserver* observer);
    void RemoveAlertObserver(IVelkAlertObserver* observer);
    // Told of every trade the quote service takes in (the board marks the stock's row).
    void
    SetTradeListener(std::function<void(unsigned char market, const std::string& code)> listener);

    // The module's commands. Settings open one sheet at a time; a request while one runs is
    // void.
    bool CanOpenSettings() const;
    bool HasRatioPage() const;
    void OpenSettings();
    // The ratio settings page on a copy of the engine's record; the engine takes and saves what
    // it commits. Returns the condition files the engine took it into but could not write (as
    // the engine names them); empty when all is saved or nothing was taken.
    std::vector<std::string> OpenRatioSettings();
    void ShowAlertList();
    void HideAlertList();
    // The engine's day starts afresh: its alert list is emptied.
    void NewDay();
    // False when the stock was already on the monitored list (it stays there once).
    bool AddToMonitor(unsigned char market, const std::string& code);
    bool IsInSettings() const { return m_bInSettings; }
    // Where the last earlier day file was kept; empty when none was.
    QString KeptDayFile() const { return m_strKeptDayFile; }

Q_SIGNALS:
    // Before the engine of a day goes: windows that show it close.
    void DayClosing();
    // After a day was opened, its engine started and the clock attached.
    void DayOpened();
    // An earlier day file of the date was moved aside to path before the engine started.
    void DayFileKeptAside(const QString& path);
    // Something the user must hear of: a file that could not be kept or written, and why.
    void Failure(const QString& text);

private:
    void OnAlertRecorded(const Ta_ALERTRECORD& record) override;
    // A new engine on the day and source in place, the clock attached at the day's open.
    void StartEngine();

    std::string m_strSysDir;
    CSwitchableSound m_sound;
    CVelkServices m_services;
    std::unique_ptr<CTradingDay> m_pDay;
    std::unique_ptr<IQuoteSource> m_pSource;
    std::unique_ptr<CVelkAlert> m_pEngine;
    CReplayController* m_pController;
    QString m_strDayFolder;
    QString m_strKeptDayFile;
    DayFileUse m_dayFileUse = DayFileUse::Continue;
    int m_nAlertsSoFar = 0;
    bool m_bInSettings = false;
    std::vector<IVelkAlertObserver*> m_observers;
    std::function<void(unsigned char, const std::string&)> m_tradeListener;
    // A closed day's trades are freed off the event loop's thread, once the turn that closed it
    // (and opened the next, which has the processor to itself meanwhile) is over.
    std::unique_ptr<CTradingDay> m_pClosedDay;
    CBackgroundDisposal m_disposal;
};
