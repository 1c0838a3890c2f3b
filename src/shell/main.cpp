#include "shell/ElevraApplication.h"
#include "shell/SignalBridge.h"
#include "shell/Startup.h"

int main(int argc, char** argv)
{
    SignalBridge::installHandlers();
    ElevraApplication app(argc, argv);
    return runProgram(app, ElevraApplication::applicationDirPath());
}
