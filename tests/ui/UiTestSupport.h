#pragma once

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "hostapi/KQBkApi.h"
#include "hostlibs/CQuoteStore.h"
#include "hostlibs/IHostBackend.h"
#include "platform/core/TextCodec.h"
#include "platform/qt/MessageBoxService.h"
#include "platform/qt/RegisteredMessages.h"
#include "tests/engine/EngineTestSupport.h"

// Stands in for the host's main window: keeps every module message it receives, and for
// "MSG_ANALYSE" the stock behind lParam while that object is still alive.
class CRecordingMainWindow final : public QWidget {
public:
    struct Received {
        int message = 0;
        std::uintptr_t wParam = 0;
        std::intptr_t lParam = 0;
        CSymbolInfo symbol;
    };

    bool event(QEvent* e) override
    {
        if (e->type() >= QEvent::User && e->type() <= QEvent::MaxUser) {
            auto* message = static_cast<CVelkMessageEvent*>(e);
            Received r{static_cast<int>(e->type()), message->wParam(), message->lParam(), {}};
            if (r.message == VelkRegisterWindowMessage("MSG_ANALYSE") && r.lParam != 0)
                r.symbol = *reinterpret_cast<const CSymbolInfo*>(r.lParam);
            m_received.push_back(r);
            return true;
        }
        return QWidget::event(e);
    }

    std::vector<Received> m_received;
};

// Installs the main window for a test's lifetime.
class CScopedMainWindow {
public:
    explicit CScopedMainWindow(QWidget* window) : m_pPrevious(VelkMainWindow())
    {
        VelkSetMainWindow(window);
    }
    ~CScopedMainWindow() { VelkSetMainWindow(m_pPrevious); }

private:
    QWidget* m_pPrevious;
};

// Answers message boxes as scripted (OK when the script has run out) and keeps them.
class CScriptedMessageBox final : public IVelkMessageBox {
public:
    struct Box {
        std::string text, caption; // UTF-8
        unsigned flags;
    };
    int Show(const std::string& textGbk, const std::string& captionGbk, unsigned flags) override
    {
        m_boxes.push_back({TextCodec::GbkToUtf8(textGbk), TextCodec::GbkToUtf8(captionGbk), flags});
        if (m_answers.empty())
            return VelkMsgBox::kIdOk;
        int answer = m_answers.front();
        m_answers.erase(m_answers.begin());
        return answer;
    }
    std::vector<Box> m_boxes;
    std::vector<int> m_answers;
};

// Runs the test from "<temp>/run", so the day files land in "<temp>/Dat/Alert".
class CScopedWorkDir {
public:
    CScopedWorkDir() : m_previous(std::filesystem::current_path())
    {
        std::filesystem::create_directories(m_temp.File("run"));
        std::filesystem::current_path(m_temp.File("run"));
    }
    ~CScopedWorkDir() { std::filesystem::current_path(m_previous); }
    std::string AlertDir() const { return m_temp.File("Dat/Alert"); }
    std::string DayFile(const std::string& date) const { return AlertDir() + "/" + date + ".alt"; }
    const CTempDir& Temp() const { return m_temp; }

private:
    CTempDir m_temp;
    std::filesystem::path m_previous;
};

inline Ta_ALERTRECORD MakeRecord(unsigned char market, const std::string& code, std::int32_t time,
                                 float price = 10.0f, float volume = 0.0f,
                                 const std::string& nameUtf8 = "股票",
                                 const std::string& reasonUtf8 = "今日最高价")
{
    Ta_ALERTRECORD record{};
    record.m_byMarket = market;
    VelkCopyText(record.m_szCode, code);
    VelkCopyText(record.m_szName, TextCodec::Utf8ToGbk(nameUtf8));
    record.m_nTime = time;
    record.m_fPrice = price;
    record.m_fVolume = volume;
    VelkCopyText(record.m_szReason, TextCodec::Utf8ToGbk(reasonUtf8));
    return record;
}

inline std::string RecordsBytes(const std::vector<Ta_ALERTRECORD>& records)
{
    std::string bytes;
    for (const Ta_ALERTRECORD& r : records)
        bytes += RawBytes(r);
    return bytes;
}

// A modal run that goes wrong (a box nobody answers, a click that missed) would hang until
// CTest's timeout. The guard closes every modal window still open after the given time, from
// the innermost out, and fails the test.
class CModalGuard {
public:
    explicit CModalGuard(int milliseconds = 5000)
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [] {
            ADD_FAILURE() << "a modal window was still open when the guard ran out";
            for (int i = 0; i < 16; ++i) {
                QWidget* modal = QApplication::activeModalWidget();
                if (!modal)
                    break;
                if (auto* dialog = qobject_cast<QDialog*>(modal))
                    dialog->reject();
                else
                    modal->close();
            }
        });
        m_timer.start(milliseconds);
    }

private:
    QTimer m_timer;
};
