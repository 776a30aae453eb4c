#pragma once
// What the commands that track a measure over a whole sound (formants,
// intensity) share with pitch: the files and batch options (-j, -o, --format
// csv|json, --channel, --step), one file to standard output or a batch of
// outputs named after their inputs, and the sound as a sample source, read
// straight from a mono 16-bit WAV or loaded by the reader table.
#include <functional>
#include <string>
#include <vector>

#include "player/analysis/core/TrackResult.h"
#include "player/analyze/OutputFile.h"

class CSampleSource;

namespace sonavel {
namespace analyze {

struct TrackOptions {
    int nJobs = 0; // 0: one per core
    bool bToDir = false;
    std::string strDir = ".";
    bool bJson = false;
    int nChannel = 1;
    double dStepS = 0.01;
    std::vector<std::string> files;
};

struct TrackCommand {
    const char* szUsage;    // the whole usage line
    const char* szSuffix;   // before the format's extension: ".formants"
    // A command's own option "--NAME VALUE": true when taken, false after a
    // line on stderr naming it (the status is then 2). Only names in
    // ownOptions reach it.
    std::vector<std::string> ownOptions;
    std::function<bool(const std::string& strName, const std::string& strValue)> fnOption;
    // The settings checked once all options are read: false after a line.
    std::function<bool(const TrackOptions& opt)> fnCheck;
    // Analyses one file and writes it through WriteOutput(strOut, ...). False
    // after one line on stderr.
    std::function<bool(const std::string& strIn, const std::string& strOut, const TrackOptions& opt, int nThreads)>
        fnAnalyse;
};

// Parses argv (argv[0] the command's name) and runs the command over its
// files; returns the exit status: 2 for a bad option, 1 when a file failed.
int RunTrackCommand(const TrackCommand& command, int argc, char** argv);

// A decimal number (finite), or a line naming the option and false.
bool ParseNumber(const std::string& strValue, const char* szName, double& d);

// The samples of channel nChannel of strIn given to fnTrack as a source, with
// their count and rate: straight from the file when it is a mono 16-bit WAV
// (the whole sound is never held), else loaded by the reader table; a WAV cut
// short meanwhile is loaded too. fnCheckRate, given the rate before anything
// is tracked, returns false after its own line on stderr. False after one line
// on stderr when the sound cannot be had (nResult is then TRACK_DONE); true
// with fnTrack's result in nResult otherwise.
bool TrackSound(const std::string& strIn, int nChannel, const std::function<bool(int nRate)>& fnCheckRate,
                const std::function<sonavel::pitch::ETrackResult(const CSampleSource& source, int nCount, int nRate)>&
                    fnTrack,
                sonavel::pitch::ETrackResult& nResult);

} // namespace analyze
} // namespace sonavel
