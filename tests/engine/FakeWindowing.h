#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/VelkRecords.h"
#include "engine/VelkServices.h"

// What the fake windows saw, in call order, shared by the windowing and every window it made
// so that a test can check the order across both ("create", "show", "front", ...).
struct CFakeWindowState {
    std::vector<std::string> calls;
    class CFakeAlertWindow* pWindow = nullptr; // the live alert window, null once destroyed
    int nCreated = 0;
    int nDestroyed = 0;
    int nBroughtToFront = 0;
};

// An alert list window that records its calls. Like the real one it starts hidden, and
// ClearAlertList empties the engine's alert list it was given.
class CFakeAlertWindow final : public IAlertWindow {
public:
    CFakeAlertWindow(std::shared_ptr<CFakeWindowState> state, CAlertRecordList* alerts,
                     std::vector<Ta_VELKPRICEALERT>* prices)
        : m_pState(std::move(state)), m_pAlerts(alerts), m_pPrices(prices)
    {
        m_pState->pWindow = this;
        ++m_pState->nCreated;
        m_pState->calls.push_back("create");
    }
    ~CFakeAlertWindow() override
    {
        if (m_pState->pWindow == this)
            m_pState->pWindow = nullptr;
        ++m_pState->nDestroyed;
        m_pState->calls.push_back("destroy");
    }

    void InsertAlertItem(const Ta_ALERTRECORD& record) override
    {
        m_inserted.push_back(record);
        m_pState->calls.push_back("insert " + VelkFieldText(record.m_szCode));
    }
    void FillAlertList() override { m_pState->calls.push_back("fill"); }
    void ClearAlertList() override
    {
        m_inserted.clear();
        if (m_pAlerts)
            m_pAlerts->clear();
        m_pState->calls.push_back("clear");
    }
    void ShowNormal() override
    {
        m_bVisible = true;
        m_pState->calls.push_back("show");
    }
    void Hide() override
    {
        m_bVisible = false;
        m_pState->calls.push_back("hide");
    }
    bool IsVisible() const override { return m_bVisible; }

    CAlertRecordList* Alerts() const { return m_pAlerts; }
    std::vector<Ta_VELKPRICEALERT>* Prices() const { return m_pPrices; }

    std::vector<Ta_ALERTRECORD> m_inserted; // newest last, as the engine handed them over
    bool m_bVisible = false;

private:
    std::shared_ptr<CFakeWindowState> m_pState;
    CAlertRecordList* m_pAlerts;
    std::vector<Ta_VELKPRICEALERT>* m_pPrices;
};

// The module's windowing as a test sets it up: whether a main window exists, what the
// settings sheet answers, and a record of what the engine asked for.
class CFakeWindowing final : public IVelkWindowing {
public:
    bool HasMainWindow() const override { return m_bHasMainWindow; }
    std::unique_ptr<IAlertWindow> CreateAlertWindow(CAlertRecordList* alerts,
                                                    std::vector<Ta_VELKPRICEALERT>* prices) override
    {
        return std::make_unique<CFakeAlertWindow>(m_pState, alerts, prices);
    }
    void BringMainWindowToFront() override
    {
        ++m_pState->nBroughtToFront;
        m_pState->calls.push_back("front");
    }
    // As the real sheet does it: on OK the committed value goes to the sink before the run
    // ends, and a refusal ends it as a Cancel (the user would have closed the sheet).
    int RunSettingsSheet(CSettingsBinding& binding, IVelkSettingsSink& sink) override
    {
        ++m_nSettingsRuns;
        m_pState->calls.push_back("settings");
        const int answer = m_onSettings ? m_onSettings(binding) : m_nSettingsResult;
        if (answer != VelkMsgBox::kIdOk || !m_bHandOver)
            return answer;
        m_lastResult = sink.TakeSettings(binding);
        return m_lastResult.bTaken ? answer : VelkMsgBox::kIdCancel;
    }

    // The alert setting page as the real one runs: it starts from a copy of what is stored and
    // hands the record it committed to the sink on OK.
    bool HasAlertSettingPage() const override { return static_cast<bool>(m_onRatioPage); }
    int RunAlertSettingPage(const Ta_ALERTSETTING& stored, IVelkRatioSettingSink& sink) override
    {
        if (!m_onRatioPage)
            return VelkMsgBox::kIdCancel;
        Ta_ALERTSETTING committed = stored;
        const int answer = m_onRatioPage(committed);
        if (answer != VelkMsgBox::kIdOk)
            return answer;
        m_lastResult = sink.TakeRatioSetting(committed);
        return m_lastResult.bTaken ? answer : VelkMsgBox::kIdCancel;
    }

    CFakeAlertWindow* Window() const { return m_pState->pWindow; }
    const std::vector<std::string>& Calls() const { return m_pState->calls; }
    CFakeWindowState& State() { return *m_pState; }

    bool m_bHasMainWindow = true;
    int m_nSettingsResult = VelkMsgBox::kIdCancel;
    // When set, runs in place of the sheet (a test edits the binding and answers).
    std::function<int(CSettingsBinding&)> m_onSettings;
    // When set, the alert setting page: edits the committed copy and answers.
    std::function<int(Ta_ALERTSETTING&)> m_onRatioPage;
    // False: answers OK without handing the value to the sink.
    bool m_bHandOver = true;
    CSettingsResult m_lastResult;
    int m_nSettingsRuns = 0;

private:
    std::shared_ptr<CFakeWindowState> m_pState = std::make_shared<CFakeWindowState>();
};
