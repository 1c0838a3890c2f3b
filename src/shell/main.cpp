#include "ElevraApplication.h"
#include "Startup.h"

int main(int argc, char** argv)
{
    ElevraApplication app(argc, argv);
    return runProgram(app, ElevraApplication::applicationDirPath());
}
