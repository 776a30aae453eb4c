#pragma once
// How every command of sonavel-analyze reads its arguments: one at a time,
// each asked in turn whether it is a file or one of the options the command
// takes, as in
//
//     COptionReader args(argc, argv, kszUsage);
//     while (args.Next())
//         if (!(args.File(files) || args.Jobs(nJobs) || args.Number("--step", dStep)))
//             args.Refuse();
//     if (const int nStatus = args.End(!files.empty()))
//         return nStatus;
//
// An option takes its value as "NAME VALUE", or as "--name=VALUE" for a long
// name. A value an option refuses ends the reading after one line on stderr:
// the option's own ("--step: 'x' is not a number"), or the usage line.
//
// Reads the argv it is given, which must outlive it; the command's main thread only.
#include <string>
#include <vector>

#include "player/analysis/core/AnalysisOutcome.h"


namespace sonavel {
namespace analyze {

// The formats the commands write (each takes some of them).
enum class EFormat { Csv, Json, PitchTier };
// "csv", "json", "pitchtier": as --format names it.
const char* FormatName(EFormat format);
// ".csv", ".json", ".PitchTier": the file name extension of each, with its dot.
const char* FormatExtension(EFormat format);

// The most -j accepts: each worker has a slot in the batch's shared page.
constexpr int kMaxJobs = 1024;

// The whole of s as a finite decimal number ("0.01", "1e3"); false for
// anything else (empty, trailing text, inf, nan).
bool ParseDecimal(const std::string& s, double& d);
// A refused setting as the line a command prints ("--floor: must lie ..."), the
// setting named as the option szOption when given, else by its own name;
// empty when nothing was refused.
std::string RefusalLine(const analysis::SettingRefusal& refusal, const char* szOption = nullptr);
// The whole of s as a whole number from nMin to nMax, digits only (no sign).
bool ParseWhole(const std::string& s, long nMin, long nMax, long& n);

class COptionReader {
public:
    // argv[0] is the command's name; szUsage the line a misfit prints.
    COptionReader(int argc, char** argv, const char* szUsage);

    // Steps to the next argument: false once all are read or one was refused.
    bool Next();
    const std::string& Arg() const { return m_strArg; }
    bool Failed() const { return m_bFailed; }

    // The usage line on stderr; the reading ends (Failed).
    void Refuse();
    // Once all are read: 0, or 2 when one was refused or bWhole is false
    // (what the command needs is missing: the usage line then).
    int End(bool bWhole);
    // One line of the command's own on stderr; the reading ends (Failed).
    void Fail(const std::string& strLine);

    // A file: an argument that is no option (a plain name, "-"), or any
    // after "--" (which itself is none).
    bool File(std::vector<std::string>& files);
    // "--view": the argument itself.
    bool Flag(const char* szName) const { return m_strArg == szName; }
    // The option szName ("-o", "--tier") with its value.
    bool Value(const char* szName, std::string& strValue);
    // --NAME and a decimal number: "--step: 'x' is not a number" otherwise.
    bool Number(const char* szName, double& d);
    // --NAME and a number above 0: "--floor: 'x' is not a number of Hz above 0".
    bool Positive(const char* szName, const char* szUnit, double& d);
    // -j N, 1 to kMaxJobs (anything else: the usage).
    bool Jobs(int& nJobs);
    // --channel N, 1 for the first: "--channel: 'x' is not a channel number".
    bool Channel(int& nChannel);
    // -o OUT, not empty (empty: the usage).
    bool Output(std::string& strOut);
    // --format NAME, one of those taken (another: the usage).
    bool Format(const std::vector<EFormat>& taken, EFormat& format);

private:
    int m_argc;
    char** m_argv;
    const char* m_szUsage;
    int m_i = 0;
    std::string m_strArg;
    bool m_bFilesOnly = false;
    bool m_bFailed = false;
};

} // namespace analyze
} // namespace sonavel
