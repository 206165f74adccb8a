// Registers one game through the DLL's exports, as the client does, and sets a third-party flag and
// the highest measured bandwidth; scripts/wine-e2e then reads the registry with Wine's reg.exe.
//   register_demo <id> <path> <install path> <display name> <version> <display icon>
//                 <third-party flag id> <bandwidth>
// Exit status 0 when registerApplication returned true.
#include "lib/OrvaneLib.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv) {
    using OrvaneLib::TString;
    if (argc != 9) {
        std::fprintf(stderr,
                     "usage: register_demo <id> <path> <install path> <display name> "
                     "<version> <display icon> <flag id> <bandwidth>\n");
        return 2;
    }
    std::unique_ptr<OrvaneLib::ulIApplication> game(createApplication(TString(argv[1])));
    const bool registered = game->registerApplication(
        TString(argv[2]), TString(argv[3]), TString(argv[4]), TString(argv[5]), TString(argv[6]));
    OrvaneLib::ulIClient* client = createClient();
    client->setThirdPartyFlag(static_cast<uint32_t>(std::strtoul(argv[7], nullptr, 10)), true);
    client->setMaxMeasuredBandwidth(std::strtoull(argv[8], nullptr, 10));
    return registered ? 0 : 1;
}
