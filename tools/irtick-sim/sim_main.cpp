// irtick-sim: a simulated infrared receiver on a pseudo-terminal (or on a
// device named with --port), for trying irtick and testing it without
// hardware.
//
// Exit status: 0 when the script has been played, and also when SIGINT or
// SIGTERM ended the run (stopping is the normal way to end --loop, and a
// script that stops a looping simulator should not see a failure); 1 when
// the port cannot be made, opened or written; 2 for a bad item or option,
// found before any port is made and anything sent.

#include <cstdio>
#include <string>

#include "sim_player.h"
#include "sim_port.h"
#include "sim_script.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitPortFailed = 1;
constexpr int kExitBadCommandLine = 2;

constexpr char kProgramName[] = "irtick-sim";

}  // namespace

int main(int argc, char** argv)
{
    SimCommand command;
    std::string message;
    const int32_t parsed = ParseSimCommandLine(argc, argv, &command, &message);
    if (parsed == SimParseHelp) {
        std::fputs(kSimUsage, stdout);
        return kExitDone;
    }
    if (parsed != SimParseRun) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, message.c_str());
        return kExitBadCommandLine;
    }

    InstallStopSignals();
    SimPort port;
    if (OpenSimPort(command.options, &port, &message) != 0) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, message.c_str());
        return kExitPortFailed;
    }
    if (port.heldFd >= 0) {
        // The reader learns where to connect from this line.
        std::printf("%s\n", port.path.c_str());
        std::fflush(stdout);
    }
    const int32_t played = PlayScript(command, port, &message);
    CloseSimPort(&port);
    if (played == SimPlayFailed) {
        std::fprintf(stderr, "%s: %s: %s\n", kProgramName, port.path.c_str(), message.c_str());
        return kExitPortFailed;
    }
    return kExitDone;
}
