#include "ElevraApplication.h"
#include "SignalBridge.h"
#include "Startup.h"

int main(int argc, char** argv)
{
    SignalBridge::installHandlers();
    ElevraApplication app(argc, argv);
    return runProgram(app, ElevraApplication::applicationDirPath());
}
