#include "browser/startup/VelmoraUsage.h"

#include "common/ProgramOptions.h"
#include "common/SoundLinks.h"

namespace velmora {

std::string VelmoraUsage()
{
    return "Usage: velmora\n"
           "       velmora --help | --version\n"
           "\n"
        + programoptions::WrapText(
               "A web browser for the speech-analysis site: the upper pane browses, the lower pane shows the "
               "local copy of the site, and "
               + sonavel::format::SoundLinkList()
               + " links play in Sonavel. The home page is the one Velmora.ini names in the folder it starts "
                 "from; the menu entry starts it in the installed site.")
        + "\n"
          "  --help     print this text and exit\n"
          "  --version  print the version and exit\n";
}

} // namespace velmora
