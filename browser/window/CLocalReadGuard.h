#pragma once
// Keeps a local page (a saved file, a favourite, a home page from a start-up
// folder) from reading the user's files. The page still loads what shows it,
// its stylesheets, scripts, pictures, fonts and sounds, from its own folder and
// below, judged by real paths (a link inside the folder that leads out of it
// leads nowhere); any other local file it asks for, and every local file it
// asks for in a way its script could read (fetch, XMLHttpRequest, a frame, an
// object, a worker), is refused before it is opened. Web pages get no local
// file at all from the engine itself, and a local page nothing from elsewhere:
// no web resource, no socket.
//
// The page it is made for owns it (its Qt parent); the engine calls it on the UI thread.
#include <QWebEngineUrlRequestInterceptor>

class CLocalReadGuard : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    // Whether a request of this type for strUrl, made for the page at
    // firstParty, is let through.
    static bool IsAllowed(const QUrl& url, QWebEngineUrlRequestInfo::ResourceType type, const QUrl& firstParty);

    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
};
