// irtick: a console monitor for an infrared remote-control receiver on a
// serial port.

#include "app/console.h"
#include "app/irtick_main.h"

int main(int argc, char** argv)
{
    // The keyboard is made ready before the port is opened, so keys typed
    // during the receiver's power-up pause are neither echoed nor lost.
    PrepareConsole();
    const int status = RunIrtick(argc, argv);
    RestoreConsole();
    return status;
}
