// The run from the command line to the exit status.

#include "app/irtick_main.h"

#include "app/monitor_loop.h"
#include "app/run_options.h"
#include "link/receiver_port.h"

namespace {
constexpr int kStatusQuitByKey = 0;
constexpr int kStatusOpenFailed = -1;
}  // namespace

int RunIrtick(int argumentCount, const char* const* argumentTexts)
{
    const RunOptions options = ParseRunOptions(argumentCount, argumentTexts);
    // A failed open has printed its own message; nothing else happens.
    if (OpenReceiverPort(options.portName.c_str()) != 0) return kStatusOpenFailed;
    RunMonitor(options);
    return kStatusQuitByKey;
}
