#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

class CAlertHistory;
class CDesktopMainWindow;
class QPixmap;

// Pictures of velk-host's windows for its documentation: the open day is replayed at full
// speed, then the main window, the alert list, the chart of the stock with the most alerts, the
// settings sheet and the ratio page (when the build has their pages), the keyboard wizard over
// the board and, when the run keeps one, the history window are written as PNG files.
class CScreenshots {
public:
    // The main window's size in the pictures.
    static constexpr int kWidth = 1280;
    static constexpr int kHeight = 800;
    static constexpr int kChartWidth = 960;
    static constexpr int kChartHeight = 600;

    // stop, when given, is watched between pictures: once it is set the run ends with the
    // pictures taken so far (a signal asked the program to stop; the event loops it runs are
    // left by the application's quit).
    CScreenshots(CDesktopMainWindow& window, QString folder,
                 const std::atomic<bool>* stop = nullptr);

    // The history the run keeps its alerts in, for the picture of the history window; none
    // without it.
    void SetHistory(CAlertHistory* history) { m_pHistory = history; }

    // The file names written, in order; false with error when a picture could not be taken or
    // the run was stopped.
    bool Take(QStringList& written, QString& error);

private:
    bool Save(const QPixmap& picture, const QString& name, QStringList& written,
              QString& error) const;
    bool Stopped(QString& error) const;
    // Runs a command that opens a modal sheet and saves the sheet unless it has no pages.
    bool SaveModalSheet(const std::function<void()>& open, const QString& name,
                        QStringList& written, QString& error) const;

    CDesktopMainWindow& m_window;
    QString m_strFolder;
    const std::atomic<bool>* m_pStop;
    CAlertHistory* m_pHistory = nullptr;
};
