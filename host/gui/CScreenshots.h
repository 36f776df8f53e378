#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class CDesktopMainWindow;
class QPixmap;

// Pictures of velk-host's windows for its documentation: the open day is replayed at full
// speed, then the main window, the alert list, the chart of the stock with the most alerts, the
// settings sheet and the ratio page (when the build has their pages) and the keyboard wizard
// over the board are written as PNG files.
class CScreenshots {
public:
    // The main window's size in the pictures.
    static constexpr int kWidth = 1280;
    static constexpr int kHeight = 800;
    static constexpr int kChartWidth = 960;
    static constexpr int kChartHeight = 600;

    CScreenshots(CDesktopMainWindow& window, QString folder);

    // The file names written, in order; false with error when a picture could not be taken.
    bool Take(QStringList& written, QString& error);

private:
    bool Save(const QPixmap& picture, const QString& name, QStringList& written,
              QString& error) const;
    // Runs a command that opens a modal sheet and saves the sheet unless it has no pages.
    bool SaveModalSheet(const std::function<void()>& open, const QString& name,
                        QStringList& written, QString& error) const;

    CDesktopMainWindow& m_window;
    QString m_strFolder;
};
