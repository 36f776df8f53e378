#pragma once

#include <QString>

// The desktop session's autostart entry that starts velk-host at login: a .desktop file in
// $XDG_CONFIG_HOME/autostart (else ~/.config/autostart), written and removed as the user turns
// the option on and off.
class CAutostartEntry {
public:
    explicit CAutostartEntry(QString path = DefaultPath()) : m_strPath(std::move(path)) {}

    static QString DefaultPath();
    // The entry's text for a program; the Exec line quoted as the desktop entry format asks.
    static QString Contents(const QString& program);

    const QString& Path() const { return m_strPath; }
    bool IsInstalled() const;
    // Written whole or not at all; false with the reason in error.
    bool Install(const QString& program, QString* error = nullptr) const;
    // Nothing to remove is no failure.
    bool Remove(QString* error = nullptr) const;

private:
    QString m_strPath;
};
