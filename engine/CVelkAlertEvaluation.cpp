#include "engine/CMarketMonitor.h"
#include "engine/CVelkAlert.h"
#include "res/VelkStringTable.h"

namespace {

constexpr int kReasonUpper = 0;
constexpr int kReasonLower = 1;
constexpr int kReasonLimitUp = 2;
constexpr int kReasonLimitDown = 3;
constexpr int kReasonNewHigh = 6;
constexpr int kReasonNewLow = 7;

constexpr std::int32_t kSoundBeep = 1;
constexpr std::int32_t kSoundWave = 2;

bool IndexInside(int index, std::size_t size)
{
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

void PlayAlertSound(IVelkSound* sound, const Ta_OTHERALERT& options)
{
    if (!sound)
        return;
    if (options.m_nSoundMode == kSoundBeep)
        sound->Beep(2000, 50);
    else if (options.m_nSoundMode == kSoundWave)
        sound->PlayWaveFile(VelkFieldText(options.m_szWavePath));
}

} // namespace

void CVelkAlert::ProcessAlert(Ta_VELKPRICETABLE* quote, int index)
{
    if (!quote || !IndexInside(index, m_vecPriceAlert.size()) ||
        !VelkIsUsablePrice(quote->m_fPrice))
        return;
    const float price = quote->m_fPrice;
    const float upper = m_vecPriceAlert[index].m_fUpper;
    const float lower = m_vecPriceAlert[index].m_fLower;
    const float last = m_vecPriceAlert[index].m_fLast;
    const long time = quote->m_nTime;

    // The two never fire on one snapshot, whatever the limits: both would need
    // lower < last < upper <= price <= lower.
    if (upper != 0 && last < upper && price >= upper && price != 0)
        AddAlertRecord(kReasonUpper, quote, time);
    if (lower != 0 && last > lower && price <= lower && price != 0)
        AddAlertRecord(kReasonLower, quote, time);

    // A zero price is stored too, so the next real price at a limit counts as a new crossing.
    if (IndexInside(index, m_vecPriceAlert.size()))
        m_vecPriceAlert[index].m_fLast = price;
}

void CVelkAlert::ProcessSystemAlert(Ta_VELKPRICETABLE* quote, int index)
{
    if (!quote || !IndexInside(index, m_vecSystemAlert.size()) ||
        !VelkIsUsablePrice(quote->m_fPrice))
        return;
    const float price = quote->m_fPrice;
    const float high = m_vecSystemAlert[index].m_fUpper;
    const float low = m_vecSystemAlert[index].m_fLower;
    const float last = m_vecSystemAlert[index].m_fLast;
    const long time = quote->m_nTime;

    // A high or low of 0 is not known yet; nothing is compared with it until it is seeded.
    if (price != 0) {
        if (price > high && high > 0 && m_systemSwitch.m_byNewHigh)
            AddAlertRecord(kReasonNewHigh, quote, time);
        if (price < low && low > 0 && m_systemSwitch.m_byNewLow)
            AddAlertRecord(kReasonNewLow, quote, time);
    }
    if (!IndexInside(index, m_vecSystemAlert.size()))
        return;
    if (price > high && high > 0)
        m_vecSystemAlert[index].m_fUpper = price;
    // A snapshot without a trade carries price 0; letting it lower the day low would leave a
    // low of 0 that silences every later new-low alert of the day.
    if (price != 0 && price < low)
        m_vecSystemAlert[index].m_fLower = price;
    if (price == 0)
        return;

    if (m_systemSwitch.m_byLimit) {
        const float limitUp = quote->m_fLimitUp;
        const float limitDown = quote->m_fLimitDown;
        if (price >= limitUp && limitUp > 0 && last < price)
            AddAlertRecord(kReasonLimitUp, quote, time);
        if (price <= limitDown && limitDown > 0 && last > price)
            AddAlertRecord(kReasonLimitDown, quote, time);
    }
    if (IndexInside(index, m_vecSystemAlert.size()))
        m_vecSystemAlert[index].m_fLast = price;
}

void CVelkAlert::AddAlertRecord(int reason, Ta_VELKPRICETABLE* quote, const long& time)
{
    if (!quote)
        return;
    long alertTime = time;
    if (alertTime < 1) {
        const IVelkClock& clock = m_services.pClock ? *m_services.pClock : m_systemClock;
        VelkLocalTime now = clock.Now();
        alertTime = now.hour * 3600L + now.minute * 60L + now.second;
    }

    if (m_pMarketMonitor->FiltersOn() && !m_pMarketMonitor->Admit(reason, *quote, alertTime))
        return;

    PlayAlertSound(m_services.pSound, m_otherAlert);

    Ta_ALERTRECORD record{};
    record.m_byMarket = quote->m_byMarket;
    VelkCopyText(record.m_szCode, VelkFieldText(quote->m_szCode));
    VelkCopyText(record.m_szName, VelkFieldText(quote->m_szName));
    record.m_nTime = static_cast<std::int32_t>(alertTime);
    record.m_fPrice = quote->m_fPrice;
    record.m_fVolume = quote->m_fVolume;
    VelkCopyText(record.m_szReason, VelkReasonText(reason));
    RecordAlert(record);

    if (m_otherAlert.m_byPopup) {
        PopAlertDialog();
        return;
    }
    m_bNewAlert = (m_pAlertListDlg && m_pAlertListDlg->IsVisible()) ? 0 : 1;
}

void CVelkAlert::AddAlertRecord()
{
    PlayAlertSound(m_services.pSound, m_otherAlert);
    if (m_otherAlert.m_byPopup) {
        PopAlertDialog();
        return;
    }
    m_bNewAlert = (m_pAlertListDlg && m_pAlertListDlg->IsVisible()) ? 0 : 1;
}

void CVelkAlert::RecordAlert(const Ta_ALERTRECORD& record)
{
    m_vecAlertRecord.push_front(record);
    if (m_pAlertListDlg)
        m_pAlertListDlg->InsertAlertItem(record);
    if (m_pObserver)
        m_pObserver->OnAlertRecorded(record);
}

void CVelkAlert::PopAlertDialog()
{
    IVelkWindowing* windowing = m_services.pWindowing;
    if (windowing) {
        const bool hasOwner = windowing->HasMainWindow();
        if (!m_pAlertListDlg)
            m_pAlertListDlg = windowing->CreateAlertWindow(&m_vecAlertRecord, &m_vecPriceAlert);
        // Without an owner the window exists but stays hidden until a thread with one asks.
        if (hasOwner && m_pAlertListDlg) {
            m_pAlertListDlg->ShowNormal();
            windowing->BringMainWindowToFront();
        }
    }
    m_bNewAlert = 0;
}

void CVelkAlert::HideAlertDialog()
{
    if (m_pAlertListDlg)
        m_pAlertListDlg->Hide();
}
