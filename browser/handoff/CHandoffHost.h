#pragma once
// What the sound-link hand-off asks of its surroundings: message boxes, the
// player, the address box and the progress display of a long download. The
// browser view answers with real widgets and processes; tests answer with
// recordings, so the whole hand-off runs without a screen.
//
// Implemented by the view; the hand-off calls it on the UI thread only and never owns
// it.
#include <QString>
#include <QStringList>

// Buttons and answers, with the values the browser's message box uses.
inline constexpr int kHandoffMbOk = 0x0;
inline constexpr int kHandoffMbYesNo = 0x4;
inline constexpr int kHandoffIdOk = 1;
inline constexpr int kHandoffIdYes = 6;
inline constexpr int kHandoffIdNo = 7;

// Why a sound link was not handed off (the navigation is cancelled).
enum class ESoundRefusal {
    NotAsked,              // the page opened it by itself, without the user
    WebSoundFromLocalPage, // a page on this computer asked for a sound on the web
    OutsidePageFolder      // a page on this computer asked for a sound outside its folder
};

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

    // A sound link was not handed off, for this reason, and the navigation
    // was cancelled.
    virtual void OnSoundRefused(const QString& /*strUrl*/, ESoundRefusal /*reason*/) {}
    // A page on this computer asked for a web address (not a sound): the
    // navigation was cancelled; the host may ask the user and open it itself.
    virtual void OnWebAddressFromLocalPage(const QString& /*strUrl*/) {}
};
