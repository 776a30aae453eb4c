#pragma once
// Finds and starts the player. The player is looked for next to the browser's
// own executable, then in the directory the browser was started from, then on
// PATH; it gets the sound file's path, and perhaps the sound's name and the
// span to select (PlayerCommandLine.h).
//
// A value its caller owns; the hand-off uses it on the UI thread. The started player is
// a process of its own, not waited for.
#include <QString>
#include <QStringList>

class CPlayerLauncher {
public:
    static constexpr const char* kPlayerName = "sonavel";

    // strOwnDir: the browser's executable directory; strStartupDir: its start-up
    // directory (either may be empty).
    CPlayerLauncher(QString strOwnDir, QString strStartupDir);

    // The player's full path, or empty when it is nowhere to be found.
    QString Locate() const;

    // Starts the player detached with these arguments (the sound file's path
    // first). True when the process started; *pPid then holds its process id.
    bool Start(const QStringList& arguments, qint64* pPid = nullptr) const;

private:
    QString m_strOwnDir;
    QString m_strStartupDir;
};
