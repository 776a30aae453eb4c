#pragma once
// Records every message box and beep of the player while alive, instead of
// showing or sounding them; the previous handlers come back at the end.
#include <functional>
#include <string>
#include <vector>

#include "player/analysis/window/Messages.h"

namespace testsupport {

class CMessageRecorder {
public:
    CMessageRecorder()
    {
        m_oldBox = sonavel::SetMessageBoxHandler([this](const std::string& text, unsigned) {
            m_messages.push_back(text);
            m_events.push_back("box");
            if (m_onMessage)
                m_onMessage(text);
            return 1;
        });
        m_oldBeep = sonavel::SetMessageBeepHandler([this](unsigned type) {
            ++m_nBeeps;
            m_events.push_back("beep" + std::to_string(type));
        });
    }
    ~CMessageRecorder()
    {
        sonavel::SetMessageBoxHandler(m_oldBox);
        sonavel::SetMessageBeepHandler(m_oldBeep);
    }
    CMessageRecorder(const CMessageRecorder&) = delete;
    CMessageRecorder& operator=(const CMessageRecorder&) = delete;

    std::vector<std::string> m_messages;
    int m_nBeeps = 0;
    // "box" and "beep<type>" in the order they came.
    std::vector<std::string> m_events;
    std::function<void(const std::string&)> m_onMessage;

private:
    sonavel::MessageBoxHandler m_oldBox;
    sonavel::MessageBeepHandler m_oldBeep;
};

} // namespace testsupport
