// The measuring view's voice report panel of a file's stretch, made as the
// view makes it (its own share of the sound, its worker's report), for the
// module's tests to compare sonavel.voice and the command line with.
//   view_voice FILE START END > panel.txt
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "player/analysis/measureview/CMeasureWorker.h"
#include "player/analysis/measureview/VoiceText.h"
#include "player/audio/SoundReaders.h"

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    SampleStore store;
    if (!sonavel::audio::LoadSoundForAnalysis(argv[1], store).Loaded())
        return 1;
    const std::atomic<bool> bCancel{false};
    sonavel::voice::VoiceSettings settings;
    settings.dStartS = std::atof(argv[2]);
    settings.dEndS = std::atof(argv[3]);
    const VoiceResult result = CMeasureWorker::ReportVoice(*CMeasureSound::FromStore(store), settings, bCancel);
    if (!result.outcome.Done())
        return 1;
    const std::string strText = sonavel::measure::VoiceReportText(result.report, settings, "sound");
    std::fputs(strText.c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
