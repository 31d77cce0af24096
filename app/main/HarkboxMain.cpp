// The desktop program: one Application, the window system's main loop, and
// the quit message's code as the exit status. It takes no options.
#include <cstdio>
#include <memory>
#include <string>

#include "app/Application.h"
#include "app/ProgramPath.h"
#include "platform/PlatformWindowSystem.h"

int main(int argc, char** argv) {
    const std::string programPath = quil::ProgramPathFrom(argc > 0 ? argv[0] : nullptr);
    std::unique_ptr<quil::WindowSystem> system = quil::CreatePlatformWindowSystem(argc, argv);
    if (!system) {
        std::fputs("Harkbox: cannot open the display (is DISPLAY set to a running X server?)\n",
                   stderr);
        return 1;
    }
    int exitCode = 0;
    {
        quil::Application application(programPath);
        const int started = application.Start(*system);
        if (started != 0)
            return started;
        application.Show(true);
        exitCode = system->RunMainLoop();
    }
    return exitCode;
}
