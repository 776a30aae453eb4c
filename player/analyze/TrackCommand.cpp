#include "player/analyze/TrackCommand.h"

#include "player/analyze/FileBatch.h"
#include "player/analyze/OutputFile.h"

namespace sonavel {
namespace analyze {

int RunTrackCommand(const TrackCommand& command, int argc, char** argv)
{
    TrackOptions opt;
    COptionReader args(argc, argv, command.szUsage);
    while (args.Next()) {
        if (!(args.File(opt.files) || command.fnOption(args) || args.Jobs(opt.nJobs) || args.Channel(opt.nChannel)
              || (args.Output(opt.strDir) && (opt.bToDir = true)) || args.Format(command.formats, opt.format)))
            args.Refuse();
    }
    if (args.Failed())
        return 2;
    if (opt.files.empty()) {
        args.Refuse();
        return 2;
    }
    if (!command.fnCheck())
        return 2;
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
