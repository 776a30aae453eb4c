#include "browser/startup/CFtpSession.h"

#include <curl/curl.h>

#include <cctype>
#include <cstdlib>
#include <mutex>

namespace {

void GlobalInitOnce()
{
    // curl_global_init is not safe to race with other threads: done once, by
    // the first session, which the user-interface thread constructs.
    static std::once_flag s_once;
    std::call_once(s_once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

int OnProgress(void* pClient, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto* pAbort = static_cast<const std::atomic<bool>*>(pClient);
    return (pAbort && pAbort->load()) ? 1 : 0;  // non-zero aborts the transfer
}

bool ParsePort(const std::string& strText, int& nPort)
{
    if (strText.empty() || strText.size() > 5)
        return false;
    int n = 0;
    for (char ch : strText) {
        if (ch < '0' || ch > '9')
            return false;
        n = n * 10 + (ch - '0');
    }
    if (n < 1 || n > 65535)
        return false;
    nPort = n;
    return true;
}

} // namespace

CFtpSession::CFtpSession()
{
    GlobalInitOnce();
}

CFtpSession::~CFtpSession()
{
    Close();
}

void CFtpSession::Close()
{
    if (m_pCurl) {
        curl_easy_cleanup(static_cast<CURL*>(m_pCurl));  // sends QUIT on a live connection
        m_pCurl = nullptr;
    }
}

bool CFtpSession::SplitHost(const std::string& strHost, std::string& strName, int& nPort)
{
    nPort = 0;
    std::size_t nPortColon = std::string::npos;
    if (!strHost.empty() && strHost.front() == '[') {
        const std::size_t nClose = strHost.find(']');
        if (nClose == std::string::npos || nClose == 1)
            return false;
        strName = strHost.substr(0, nClose + 1);
        for (std::size_t i = 1; i < nClose; ++i)
            if (!std::isxdigit(static_cast<unsigned char>(strHost[i])) && strHost[i] != ':'
                && strHost[i] != '.')
                return false;
        if (nClose + 1 < strHost.size()) {
            if (strHost[nClose + 1] != ':')
                return false;
            nPortColon = nClose + 1;
        }
    } else {
        nPortColon = strHost.find(':');
        if (nPortColon != std::string::npos && strHost.find(':', nPortColon + 1) != std::string::npos)
            return false;  // a bare IPv6 address needs brackets
        strName = strHost.substr(0, nPortColon);
        if (strName.empty())
            return false;
        for (char ch : strName)
            if (ch == '/' || ch == '@' || ch == '?' || ch == '#' || ch == '[' || ch == ']'
                || static_cast<unsigned char>(ch) <= 0x20)
                return false;  // would change what the URL means
    }
    return nPortColon == std::string::npos || ParsePort(strHost.substr(nPortColon + 1), nPort);
}

void CFtpSession::GetFtpConnection(const std::string& strHost, const std::string& strUser,
                                   const std::string& strPassword, int nPort, bool bPassive,
                                   const std::atomic<bool>* pAbort)
{
    std::string strName;
    int nHostPort = 0;
    if (!SplitHost(strHost, strName, nHostPort))
        throw CInternetException(-1, "Malformed FTP host: " + strHost);
    if (nPort == 0)
        nPort = nHostPort != 0 ? nHostPort : 21;

    Close();
    CURL* pCurl = curl_easy_init();
    if (!pCurl)
        throw CInternetException(CURLE_FAILED_INIT, "Cannot create an internet session");
    m_pCurl = pCurl;

    const std::string strUrl = "ftp://" + strName + ":" + std::to_string(nPort) + "/";
    curl_easy_setopt(pCurl, CURLOPT_URL, strUrl.c_str());
    curl_easy_setopt(pCurl, CURLOPT_PROTOCOLS_STR, "ftp");
    // Connect and log in, nothing more: FTP's connection phase ends after the login.
    curl_easy_setopt(pCurl, CURLOPT_CONNECT_ONLY, 1L);
    if (!strUser.empty()) {
        curl_easy_setopt(pCurl, CURLOPT_USERNAME, strUser.c_str());
        curl_easy_setopt(pCurl, CURLOPT_PASSWORD, strPassword.c_str());
    }
    // No data connection is ever opened, but keep the mode the check asks for.
    if (!bPassive)
        curl_easy_setopt(pCurl, CURLOPT_FTPPORT, "-");
    curl_easy_setopt(pCurl, CURLOPT_CONNECTTIMEOUT, m_nConnectTimeout);
    // A server that accepts the connection but never greets or answers the
    // login must not hold the thread for ever.
    curl_easy_setopt(pCurl, CURLOPT_SERVER_RESPONSE_TIMEOUT, m_nConnectTimeout);
    curl_easy_setopt(pCurl, CURLOPT_TIMEOUT, 2 * m_nConnectTimeout);
    // Signals must not be used for time-outs on a worker thread.
    curl_easy_setopt(pCurl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(pCurl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(pCurl, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(pCurl, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(pAbort));

    char szError[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(pCurl, CURLOPT_ERRORBUFFER, szError);
    const CURLcode nResult = curl_easy_perform(pCurl);
    curl_easy_setopt(pCurl, CURLOPT_ERRORBUFFER, nullptr);
    if (nResult != CURLE_OK) {
        std::string strMessage = szError[0] ? szError : curl_easy_strerror(nResult);
        Close();
        throw CInternetException(nResult, strMessage);
    }
}
