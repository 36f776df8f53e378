#include "host/core/CHostCommandLine.h"

#include <cstdlib>

#include "host/core/CMonitorCommand.h"

std::string CHostCommandLine::DefaultRoot()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    // XDG says a relative XDG_DATA_HOME is to be ignored.
    if (data && data[0] == '/')
        return std::string(data) + "/velk-host";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.local/share/velk-host";
    return {};
}

std::string CHostCommandLine::Usage()
{
    return "Usage:\n"
#ifdef VELK_HOST_HAS_UI
           "  velk-host [--silent] [--root DIR] [--day DAYDIR] [--play]\n"
           "  velk-host [--root DIR] --day DAYDIR --screenshots PICDIR\n"
#endif
           "  velk-host --headless [--silent] [--wait-lock] [--no-history] [--root DIR]\n"
           "                      --day DAYDIR\n"
           "  velk-host --headless [--silent] [--wait-lock] [--no-history] [--root DIR]\n"
           "                      --feed ADDR\n"
           "  velk-host history [--root DIR] [--from DATE] [--to DATE] [--code CODE]\n"
           "                    [--reason TEXT] [--source live|replay] [--format csv|json]\n"
           "  velk-host dump [--root DIR]\n"
           "  velk-host dump-day FILE\n"
           "  velk-host monitor [--root DIR] [on | off | set NAME=VALUE ...]\n"
           "  velk-host --help\n"
           "\n"
           "velk-host plays the quote application for the VelkSystemAlert module. It fills an\n"
           "in-memory quote service from a trading-day folder, starts the alert engine and\n"
           "replays the day in time order.\n"
#ifdef VELK_HOST_HAS_UI
           "\n"
           "Without --headless it opens its main window: the quote board of the day, replay\n"
           "controls (play, pause, one second at a time, speeds up to as fast as possible),\n"
           "the module's settings and alert list, and intraday charts with the alerts marked.\n"
           "It needs a display ($DISPLAY or $WAYLAND_DISPLAY). Without --day it opens the last\n"
           "day folder it had open, or the demo day that comes with an installed velk-host.\n"
           "The window's geometry, the last day folder, the speed and the sound switch are kept\n"
           "in ~/.config/Velk/velk-host.conf.\n"
#endif
           "\n"
           "With --headless it replays the day at once and prints every alert as the engine\n"
           "records it:\n"
           "  HH:MM:SS<TAB>market<TAB>code<TAB>name<TAB>price<TAB>volume<TAB>reason\n"
           "in UTF-8 on standard output, one line per alert.\n"
           "\n"
           "Options:\n"
#ifdef VELK_HOST_HAS_UI
           "  --headless     run without a screen: the Qt application runs on\n"
           "                 the offscreen platform unless QT_QPA_PLATFORM names another, and\n"
           "                 the alert list window is created, unseen, whenever the pop-up\n"
           "                 option of alert.cfg asks for it, exactly as in a real run. The\n"
           "                 window reads DIR/Dat/Alert/YYYYMMDD.alt when it is created and\n"
           "                 writes the day's alerts there when the engine is shut down at the\n"
           "                 end of the replay, so replaying a day again adds to that file.\n"
           "                 Without the pop-up option no window and no day file come about.\n"
           "                 Message boxes are answered at once (OK, or Yes) and written to\n"
           "                 standard error, as are the window's analyse and settings\n"
           "                 requests (\"analyse MARKET CODE\", \"command 668\").\n"
           "  --silent       no alert sounds; otherwise the sound mode of alert.cfg is played\n"
           "                 on the default audio device (a 50 ms beep per alert in mode 1),\n"
           "                 and nothing is played where there is no audio device\n"
           "  --play         the window starts playing the day as soon as it is open, at the\n"
           "                 speed kept from the last run\n"
           "  --screenshots PICDIR\n"
           "                 replays the day at full speed on the offscreen platform, writes\n"
           "                 PNG pictures of the main window, the alert list, a chart, the\n"
           "                 settings sheet, the ratio settings page and the keyboard wizard\n"
           "                 to PICDIR, and exits\n"
#else
           "  --headless     run without windows (the only mode of this build): no alert list\n"
           "                 window, hence no day file, and no sound\n"
           "  --silent       no alert sounds (this build plays none anyway)\n"
#endif
           "  --root DIR     the data directory. DIR/SYS is the system directory: the condition\n"
           "                 files alert.cfg, Magic.cfg and System_alert.cfg, UserInfo.cfg and\n"
           "                 StataBarInfo.ini. The replay works in DIR/bin, so the day's alert\n"
           "                 file goes to DIR/Dat/Alert/YYYYMMDD.alt. DIR/SYS and DIR/bin are\n"
           "                 created when missing. Default: $XDG_DATA_HOME/velk-host, or\n"
           "                 ~/.local/share/velk-host.\n"
           "  --day DAYDIR   the trading-day folder (below)\n"
           "  --wait-lock    with --headless: when another velk-host works on the same data\n"
           "                 directory, wait until it is done instead of ending with status 4\n"
           "  --feed ADDR    follow a live feed instead of a day folder (docs/feed.md): - for\n"
           "                 standard input, tcp://HOST:PORT or unix:PATH (reconnected after a\n"
           "                 loss), nats://HOST:PORT[/SUBJECT] (quotes.> by default). Headless\n"
           "                 it prints every alert as it is recorded and ends at the feed's\n"
           "                 end, at the end of input, or on SIGINT or SIGTERM; exit status 3\n"
           "                 when the feed cannot be reached at all.\n"
           "  --no-history   keep no alert history for this run. Otherwise every alert is\n"
           "                 added to DIR/history.sqlite (SQLite, committed once a frame)\n"
           "                 and handed to the outputs configured in the settings\n"
           "                 (webhooks, NATS); their status is written to standard error at\n"
           "                 the end of the run\n"
           "  --help         this text\n"
           "\n"
           "Commands:\n"
           "  dump           prints alert.cfg, Magic.cfg and System_alert.cfg of DIR/SYS as\n"
           "                 JSON, every field, texts in UTF-8; a missing file is null\n"
           "  dump-day FILE  prints a day file of alert records (YYYYMMDD.alt) as JSON: its\n"
           "                 size, the records and the number of bytes after the last whole\n"
           "                 record (ignored_bytes)\n"
           "  monitor        prints the market monitor's setting, DIR/SYS/MarketMonitor.cfg,\n"
           "                 and the thresholds alert.cfg holds for its rules (rise, fall,\n"
           "                 volume and single-trade ratios, large amount in 10,000 yuan,\n"
           "                 large-volume share of the circulating shares; -1 is off)\n"
           "  monitor on|off switches the monitor's rules on the system-alert stocks\n"
           "  monitor set NAME=VALUE ...\n"
           "                 REASON=every|once|Ns: every crossing, once per stock and day, or\n"
           "                 at most once per N seconds per stock; REASON is one of upper,\n"
           "                 lower, limit_up, limit_down, limit_up_opened, limit_down_opened,\n"
           "                 new_high, new_low, rise, fall, single_trade, volume_ratio,\n"
           "                 large_amount, large_volume. new_high_step=X, new_low_step=X: a\n"
           "                 new high (low) alerts only X percent beyond the last alerted one.\n"
           "                 mute.MARKET.CODE=yyyymmdd silences a stock on that trading day\n"
           "                 (empty value: no longer). enabled=0|1 as on and off.\n"
           "  history        prints the alerts of DIR/history.sqlite, oldest first, filtered\n"
           "                 by trading date (YYYY-MM-DD or YYYYMMDD, inclusive), code, reason\n"
           "                 (its code, or a part of its text: 涨停 takes 达到涨停价 and\n"
           "                 涨停板打开) and source; CSV (the default) starts with a byte\n"
           "                 order mark and writes codes as =\"000001\" so that spreadsheets\n"
           "                 keep their zeros; JSON is an array of objects\n"
           "\n"
           "The trading-day folder holds CSV files in UTF-8, each with a header line:\n"
           "  day.csv      trade_date                 (yyyymmdd; required)\n"
           "  markets.csv  market,ext,level1          (required)\n"
           "  symbols.csv  market,code,name,prev_close,limit_up,limit_down[,decimals]\n"
           "               (empty price: 0; decimals 2 or 3, by default those of its prices)\n"
           "  trades.csv   time,market,code,price,volume   (HH:MM:SS, shares of the trade)\n"
           "  magic.csv    number,name                (the signal catalogue)\n"
           "  signals.csv  time,market,code,number    (magic signals)\n"
           "  groups.csv   user,group,market,code     (self-selected stock groups)\n"
           "A missing optional file is empty. Every file is checked before the engine starts;\n"
           "a malformed line stops the run with \"file:line: what is wrong\" on standard\n"
           "error and exit status 2, and nothing under DIR is created or changed.\n"
           "\n"
           "Exit status: 0 done, 1 the data directory could not be prepared, the file to dump\n"
           "cannot be read, the day's alert file or the alert history could not be saved,\n"
           "2 bad arguments (a --root DIR that is an existing plain file among them) or a bad\n"
           "trading day, 3 the live feed could not be reached at all, 4 another velk-host works\n"
           "on the data directory, 130 and 143 ended by SIGINT or SIGTERM (the engine was shut\n"
           "down and the day file written).\n";
}

bool CHostCommandLine::Parse(const std::vector<std::string>& args)
{
    *this = CHostCommandLine();
    bool rootGiven = false;
    std::vector<std::string> positional;
    // The history command has options of its own; only --root is taken here.
    if (!args.empty() && args[0] == "history") {
        m_command = Command::History;
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "--root" && i + 1 < args.size()) {
                m_strRoot = args[++i];
                rootGiven = true;
            } else {
                m_vecCommandArgs.push_back(args[i]);
            }
        }
        if (!rootGiven)
            m_strRoot = DefaultRoot();
        if (m_strRoot.empty()) {
            m_strError =
                "no --root DIR given and no data directory known (set HOME or XDG_DATA_HOME)";
            return false;
        }
        return true;
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) {
                m_strError = arg + " needs a value";
                return false;
            }
            into = args[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            m_command = Command::Help;
            return true;
        } else if (arg == "--headless") {
            m_bHeadless = true;
        } else if (arg == "--silent") {
            m_bSilent = true;
        } else if (arg == "--wait-lock") {
            m_bWaitLock = true;
        } else if (arg == "--no-history") {
            m_bNoHistory = true;
        } else if (arg == "--play") {
            m_bPlay = true;
        } else if (arg == "--root") {
            if (!value(m_strRoot))
                return false;
            rootGiven = true;
        } else if (arg.rfind("--root=", 0) == 0) {
            m_strRoot = arg.substr(7);
            rootGiven = true;
        } else if (arg == "--day") {
            if (!value(m_strDay))
                return false;
        } else if (arg.rfind("--day=", 0) == 0) {
            m_strDay = arg.substr(6);
        } else if (arg == "--feed") {
            if (!value(m_strFeed))
                return false;
        } else if (arg.rfind("--feed=", 0) == 0) {
            m_strFeed = arg.substr(7);
        } else if (arg == "--screenshots") {
            if (!value(m_strScreenshots))
                return false;
        } else if (arg.rfind("--screenshots=", 0) == 0) {
            m_strScreenshots = arg.substr(14);
        } else if (arg.size() > 1 && arg[0] == '-') {
            m_strError = "unknown option " + arg;
            return false;
        } else {
            positional.push_back(arg);
        }
    }

    if (positional.empty()) {
        m_command = Command::Replay;
        if (!m_strFeed.empty()) {
            m_command = Command::Feed;
            if (!m_strDay.empty() || !m_strScreenshots.empty()) {
                m_strError = "--feed follows a live market; it takes no --day or --screenshots";
                return false;
            }
            if (!m_bHeadless) {
                m_strError = "--feed needs --headless";
                return false;
            }
        } else if (m_bPlay && (m_bHeadless || !m_strScreenshots.empty())) {
            m_strError = "--play is for the window; --headless and --screenshots play the day "
                         "anyway";
            return false;
        } else if (m_bHeadless) {
            if (!m_strScreenshots.empty()) {
                m_strError =
                    "--screenshots takes pictures of the windows, which --headless does not show";
                return false;
            }
            if (m_strDay.empty()) {
                m_strError = "--day DAYDIR is missing";
                return false;
            }
        } else {
#ifdef VELK_HOST_HAS_UI
            if (!m_strScreenshots.empty() && m_strDay.empty()) {
                m_strError = "--screenshots needs --day DAYDIR";
                return false;
            }
#else
            m_strError =
                m_strDay.empty() && !rootGiven && m_strScreenshots.empty()
                    ? "nothing to do"
                    : "this velk-host is built without windows; run the replay with --headless";
            return false;
#endif
        }
    } else if (positional[0] == "dump") {
        m_command = Command::Dump;
        if (positional.size() > 1 || !m_strDay.empty() || !m_strScreenshots.empty()) {
            m_strError = "dump takes only --root DIR";
            return false;
        }
    } else if (positional[0] == "dump-day") {
        m_command = Command::DumpDay;
        if (positional.size() != 2 || rootGiven || !m_strDay.empty() || !m_strScreenshots.empty()) {
            m_strError = "dump-day takes one FILE";
            return false;
        }
        m_strFile = positional[1];
        return true;
    } else if (positional[0] == "monitor") {
        m_command = Command::Monitor;
        m_vecMonitorArgs.assign(positional.begin() + 1, positional.end());
        if (!m_strDay.empty() || !m_strScreenshots.empty() || m_bHeadless) {
            m_strError = "monitor takes only --root DIR";
            return false;
        }
        if (!CMonitorCommand::Check(m_vecMonitorArgs, m_strError))
            return false;
    } else {
        m_strError = "unknown command " + positional[0];
        return false;
    }

    if (!rootGiven)
        m_strRoot = DefaultRoot();
    if (m_strRoot.empty()) {
        m_strError = "no --root DIR given and no data directory known (set HOME or XDG_DATA_HOME)";
        return false;
    }
    return true;
}
