#pragma once
// A hand-off host that records what the hand-off asks for (messages, player
// starts, addresses, progress) and answers as the test says.
#include "browser/handoff/CAudioHandoff.h"
#include "browser/handoff/CHandoffHost.h"
#include "tests/browser/handoff/TestSoundServer.h"
#include "tests/support/TestFiles.h"

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <deque>
#include <memory>
#include <utility>
#include <vector>

// Records what the hand-off asks for and answers as the test says.
class CRecordingHost : public CHandoffHost {
public:
    explicit CRecordingHost(QString strTemp) : m_strTemp(std::move(strTemp)) {}

    int HandoffMessageBox(const QString& strText, int nButtons) override
    {
        m_messages.push_back({strText, nButtons});
        if (m_answers.empty())
            return nButtons == kHandoffMbYesNo ? kHandoffIdYes : kHandoffIdOk;
        const int n = m_answers.front();
        m_answers.pop_front();
        return n;
    }
    bool StartPlayer(const QStringList& arguments) override
    {
        m_starts.push_back(arguments.value(0));
        m_startArguments.push_back(arguments);
        m_startedContents.push_back(testsupport::ReadTestFile(arguments.value(0)));
        return m_bPlayerStarts;
    }
    void ShowAddress(const QString& strUrl) override { m_addresses.push_back(strUrl); }
    QString TempFilePath() override { return m_strTemp; }
    void OnDownloadSlow(const QString&) override { ++m_nSlowShown; }
    void OnDownloadProgress(qint64 nReceived, qint64 nTotal) override
    {
        m_nLastReceived = nReceived;
        m_nLastTotal = nTotal;
    }
    bool IsDownloadCancelled() override { return m_bCancelWhenSlow; }
    void OnDownloadEnded() override { ++m_nEnded; }
    void OnSoundRefused(const QString& strUrl, ESoundRefusal reason) override { m_refused.push_back({strUrl, reason}); }
    void OnWebAddressFromLocalPage(const QString& strUrl) override { m_webAddressesAsked.push_back(strUrl); }

    QString m_strTemp;
    bool m_bPlayerStarts = true;
    bool m_bCancelWhenSlow = false;
    std::deque<int> m_answers;
    std::vector<std::pair<QString, int>> m_messages;
    std::vector<QString> m_starts;
    std::vector<QStringList> m_startArguments;
    std::vector<QByteArray> m_startedContents;
    std::vector<QString> m_addresses;
    std::vector<std::pair<QString, ESoundRefusal>> m_refused;
    std::vector<QString> m_webAddressesAsked;
    int m_nSlowShown = 0;
    int m_nEnded = 0;
    qint64 m_nLastReceived = 0;
    qint64 m_nLastTotal = 0;
};

// A hand-off whose host records, writing "tempFile" in a temporary folder, and
// a test web server over the folder's "web" sub-folder, started by Serve()
// once the files are there.
class CServedHandoff {
protected:
    CServedHandoff()
    {
        m_strWeb = m_dir.filePath("web");
        QDir().mkpath(m_strWeb);
    }
    bool Serve()
    {
        m_pServer = std::make_unique<CTestSoundServer>(m_strWeb);
        return m_pServer->Port() > 0;
    }

    QTemporaryDir m_dir;
    QString m_strWeb;
    std::unique_ptr<CTestSoundServer> m_pServer;
    CRecordingHost m_host{m_dir.filePath("tempFile")};
    CAudioHandoff m_handoff{m_host};
};
