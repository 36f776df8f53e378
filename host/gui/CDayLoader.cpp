#include "host/gui/CDayLoader.h"

#include "host/core/CDayReplay.h"
#include "host/core/CTradingDay.h"
#include "host/gui/CLoadErrorText.h"
#include "hostlibs/CQuoteStore.h"

namespace {

// Often enough for a progress bar that moves smoothly, seldom enough to cost nothing.
constexpr int kPollMs = 40;

} // namespace

CDayLoader::CDayLoader(QObject* parent) : QObject(parent)
{
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &CDayLoader::Poll);
}

CDayLoader::~CDayLoader()
{
    m_bCancel = true;
    Join();
}

void CDayLoader::Start(const QString& folder)
{
    if (IsLoading()) {
        m_bCancel = true;
        Join();
    }
    m_strFolder = folder;
    m_nProgress = 0;
    m_nShown = -1;
    m_bCancel = false;
    m_bDone = false;
    m_pDay.reset();
    m_pReplay.reset();
    m_strError.clear();
    m_bCancelled = false;
    m_thread = std::thread([this, path = folder.toStdString()] {
        auto day = std::make_unique<CTradingDay>();
        day->SetProgress([this](int permille) {
            m_nProgress.store(permille, std::memory_order_relaxed);
            return !m_bCancel.load(std::memory_order_relaxed);
        });
        std::string error;
        if (day->Load(path, error)) {
            day->SetProgress(nullptr);
            // The replay only reads the day here; the quote service is filled when it opens.
            m_pReplay = std::make_unique<CDayReplay>(*day, CQuoteStore::Instance());
            m_pDay = std::move(day);
        } else {
            m_bCancelled = day->Cancelled();
            m_strError = error;
        }
        m_bDone.store(true, std::memory_order_release);
    });
    m_poll.start();
}

void CDayLoader::Cancel()
{
    m_bCancel = true;
}

void CDayLoader::Join()
{
    if (m_thread.joinable())
        m_thread.join();
    m_poll.stop();
}

void CDayLoader::Poll()
{
    if (!m_bDone.load(std::memory_order_acquire)) {
        const int permille = m_nProgress.load(std::memory_order_relaxed);
        if (permille != m_nShown) {
            m_nShown = permille;
            Q_EMIT Progress(permille);
        }
        return;
    }
    Join();
    const QString folder = m_strFolder;
    if (m_pDay) {
        Q_EMIT Progress(1000);
        Q_EMIT Loaded(folder);
        // Not taken: dropped before the next load.
        m_pReplay.reset();
        m_pDay.reset();
    } else if (m_bCancelled) {
        Q_EMIT Cancelled(folder);
    } else {
        Q_EMIT Failed(folder, CLoadErrorText::Translate(m_strError));
    }
}
