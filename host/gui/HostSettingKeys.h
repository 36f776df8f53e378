#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QVariant>

// Every key velk-host keeps in its QSettings, with its type and the value of a first run. A
// window reads and writes them only through these, so that a key is spelled in one place and
// never read as another type than it was written.
template <typename T> struct CHostSettingKey {
    const char* name;
    T fallback;

    QString Name() const { return QString::fromLatin1(name); }
    // The stored value, or the fallback without settings, without the key or with a value of
    // another type.
    T Read(const QSettings* settings) const
    {
        if (!settings)
            return fallback;
        const QVariant value = settings->value(Name());
        if (!value.isValid() || !value.canConvert<T>())
            return fallback;
        return value.value<T>();
    }
    bool IsStored(const QSettings* settings) const
    {
        return settings && settings->contains(Name());
    }
    void Write(QSettings* settings, const T& value) const
    {
        if (settings)
            settings->setValue(Name(), value);
    }
};

namespace HostSettings {

inline const CHostSettingKey<QByteArray> kWindowGeometry{"window/geometry", {}};
inline const CHostSettingKey<QByteArray> kWindowState{"window/state", {}};
// The folder of the trading day opened last, opened again at start-up.
inline const CHostSettingKey<QString> kLastDay{"replay/lastDay", {}};
inline const CHostSettingKey<int> kSpeed{"replay/speed", 1};
// The address of the quote feed connected to last, offered again.
inline const CHostSettingKey<QString> kFeedAddress{"feed/address", {}};
inline const CHostSettingKey<bool> kSound{"alerts/sound", true};
// The board's sort column and order (Qt::SortOrder), its filter text and the group tab chosen
// (empty for the whole board).
inline const CHostSettingKey<int> kBoardSortColumn{"board/sortColumn", 0};
inline const CHostSettingKey<int> kBoardSortOrder{"board/sortOrder", 0};
inline const CHostSettingKey<QString> kBoardFilter{"board/filter", {}};
inline const CHostSettingKey<QString> kBoardGroup{"board/group", {}};
// Closing the window leaves the program in the tray, where a tray is.
inline const CHostSettingKey<bool> kCloseToTray{"desktop/closeToTray", false};
// The window starts in the tray (minimised where there is none).
inline const CHostSettingKey<bool> kStartMinimised{"desktop/startMinimised", false};
// An autostart entry of the session starts the program at login.
inline const CHostSettingKey<bool> kStartAtLogin{"desktop/startAtLogin", false};

} // namespace HostSettings
