#include "player/analyze/TrackCommand.h"

#include "player/analyze/AnalyzeCommands.h"
#include "player/analyze/FileBatch.h"
#include "player/analyze/OutputFile.h"

namespace sonavel {
namespace analyze {

bool TrackFile(const std::string& strIn, const std::string& strOut, const TrackOptions& opt,
               const analysis::OutcomeWords& words,
               const std::function<analysis::SoundOutcome(const analysis::CSoundInput&)>& fnDoor,
               const std::function<bool(const analysis::SoundOutcome&, WriteFn, void*)>& fnText,
               const std::function<std::string(int)>& fnRefusal)
{
    const analysis::SoundOutcome outcome = fnDoor(analysis::CSoundInput::File(strIn, opt.nChannel));
    if (!outcome.Done()) {
        // A setting this file's rate refuses (the door said nothing more).
        const std::string strRefusal = fnRefusal && outcome.nOutcome == analysis::EOutcome::Refused
                                               && outcome.strWhy.empty()
                                           ? fnRefusal(outcome.nRate)
                                           : std::string();
        PrintError(strRefusal.empty() ? analysis::DescribeOutcome(outcome, words, strIn) : strIn + ": " + strRefusal);
        return false;
    }
    return WriteOutput(strOut, [&](WriteFn pfnWrite, void* pContext) { return fnText(outcome, pfnWrite, pContext); });
}

int RunTrackCommand(const TrackCommand& command, int argc, char** argv)
{
    TrackOptions opt;
    COptionReader args(argc, argv, command.szUsage);
    while (args.Next()) {
        if (!(args.File(opt.files) || command.fnOption(args) || args.Jobs(opt.nJobs) || args.Channel(opt.nChannel)
              || (args.Output(opt.strDir) && (opt.bToDir = true)) || args.Format(command.formats, opt.format)))
            args.Refuse();
    }
    if (const int nStatus = args.End(!opt.files.empty()))
        return nStatus;
    if (const std::string strRefusal = command.fnRefusal(); !strRefusal.empty()) {
        PrintError(strRefusal);
        return 2;
    }
    InstallSignalHandlers();
    if (opt.files.size() == 1 && !opt.bToDir)
        return command.fnAnalyse(opt.files[0], std::string(), opt, 0) ? 0 : 1;
    FileBatch batch;
    batch.nJobs = opt.nJobs;
    batch.strDir = opt.strDir;
    batch.files = opt.files;
    batch.strSuffix = std::string(command.szSuffix) + FormatExtension(opt.format);
    batch.fnJob = [&](const std::string& strIn, const std::string& strOut, int nThreads) {
        return command.fnAnalyse(strIn, strOut, opt, nThreads);
    };
    return RunFileBatch(batch);
}

} // namespace analyze
} // namespace sonavel
