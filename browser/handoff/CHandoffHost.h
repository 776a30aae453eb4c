#pragma once
// What the sound-link hand-off asks of its surroundings: message boxes, the
// player, the address box and the progress display of a long download. The
// browser view answers with real widgets and processes; tests answer with
// recordings, so the whole hand-off runs without a screen.
#include <QString>
#include <QStringList>

// Buttons and answers, with the values the browser's message box uses.
inline constexpr int kHandoffMbOk = 0x0;
inline constexpr int kHandoffMbYesNo = 0x4;
inline constexpr int kHandoffIdOk = 1;
inline constexpr int kHandoffIdYes = 6;
inline constexpr int kHandoffIdNo = 7;

class CHandoffHost {
public:
    virtual ~CHandoffHost() = default;

    // A modal message; returns kHandoffIdOk, kHandoffIdYes or kHandoffIdNo.
    virtual int HandoffMessageBox(const QString& strText, int nButtons) = 0;
    // Starts the player with these arguments (the sound file first); true
    // when the process started.
    virtual bool StartPlayer(const QStringList& arguments) = 0;
    // Puts the URL into the address box.
    virtual void ShowAddress(const QString& strUrl) = 0;
    // Where the sound is written: the private per-user "tempFile".
    virtual QString TempFilePath() = 0;

    // A download has run longer than about a second: show its progress, with a
    // way to cancel. Called at most once per download.
    virtual void OnDownloadSlow(const QString& /*strUrl*/) {}
    // Bytes received so far and the expected total (-1 when the server did not say).
    virtual void OnDownloadProgress(qint64 /*nReceived*/, qint64 /*nTotal*/) {}
    // Polled while the progress shows: true once the user pressed Cancel.
    virtual bool IsDownloadCancelled() { return false; }
    // The download is over (only after OnDownloadSlow): hide the progress.
    virtual void OnDownloadEnded() {}

    // A page opened a sound link by itself, without the user: it was not
    // handed off, and the navigation was cancelled.
    virtual void OnSoundNotAsked(const QString& /*strUrl*/) {}
};
