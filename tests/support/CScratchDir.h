#pragma once
// Running a program as a user runs it, from a test: a private scratch folder,
// shell quoting, the exit status and a whole file as a string.
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace testsupport {

inline std::string Quote(const std::string& s) { return "'" + s + "'"; }

// The exit status of a shell command, or -1 when it did not exit normally.
inline int Shell(const std::string& cmd)
{
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A folder of its own under /tmp, removed with everything in it at the end.
class CScratchDir {
public:
    CScratchDir()
    {
        char tmpl[] = "/tmp/sonavel-test.XXXXXX";
        m_strDir = ::mkdtemp(tmpl) ? tmpl : "/tmp";
    }
    ~CScratchDir()
    {
        if (m_strDir != "/tmp")
            Shell("rm -rf " + Quote(m_strDir));
    }
    CScratchDir(const CScratchDir&) = delete;
    CScratchDir& operator=(const CScratchDir&) = delete;
    const std::string& Path() const { return m_strDir; }
    std::string operator/(const std::string& name) const { return m_strDir + "/" + name; }

    // The exit status of a shell command run in the folder; its standard
    // output and error in out and err (kept in the folder as out and err).
    int Run(const std::string& command, std::string& out, std::string& err) const
    {
        const std::string strOut = *this / "out", strErr = *this / "err";
        const int nStatus = Shell("cd " + Quote(m_strDir) + " && " + command + " >" + Quote(strOut) + " 2>" + Quote(strErr));
        out = Slurp(strOut);
        err = Slurp(strErr);
        return nStatus;
    }

private:
    std::string m_strDir;
};

// A text's lines, without their line ends.
inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// A CSV line's fields split at every comma (no quoting), an empty one after a
// trailing comma.
inline std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string f; std::getline(in, f, ',');)
        fields.push_back(f);
    if (!line.empty() && line.back() == ',')
        fields.emplace_back();
    return fields;
}

} // namespace testsupport
