#pragma once
// The connection check's internet session: one FTP connection with an
// anonymous login, made through libcurl and closed again at once. Qt-free.
//
// Threads: made on the user-interface thread with the connection thread, then
// used only on the connection thread; the abort flag it is given may be set
// from any thread.
#include <atomic>
#include <stdexcept>
#include <string>

// An error of the session: a refused or timed-out connection, a refused login,
// a host that does not resolve, a malformed host text.
class CInternetException : public std::runtime_error {
public:
    CInternetException(int nCode, const std::string& strMessage)
        : std::runtime_error(strMessage), m_nCode(nCode) {}
    int m_nCode;  // the libcurl result, or -1 for a malformed host text
};

class CFtpSession {
public:
    CFtpSession();
    ~CFtpSession();
    CFtpSession(const CFtpSession&) = delete;
    CFtpSession& operator=(const CFtpSession&) = delete;

    // Connects to strHost ("host", "host:port", "[v6]" or "[v6]:port"; nPort 0
    // means the port in strHost or else 21) and logs in; empty user and
    // password mean an anonymous login. Blocks until logged in or failed;
    // throws CInternetException on failure. pAbort, when it turns true, cuts the
    // attempt short (also an exception).
    void GetFtpConnection(const std::string& strHost, const std::string& strUser,
                          const std::string& strPassword, int nPort, bool bPassive,
                          const std::atomic<bool>* pAbort = nullptr);

    // Ends the connection (if any). The session can still connect again.
    void Close();

    // Limit for the TCP connect and the login replies.
    void SetConnectTimeout(long nSeconds) { m_nConnectTimeout = nSeconds; }

    // Splits the host text; false when it is malformed (empty host, bad port).
    static bool SplitHost(const std::string& strHost, std::string& strName, int& nPort);

private:
    void* m_pCurl = nullptr;  // CURL*, kept out of this header
    long m_nConnectTimeout = 15;
};
