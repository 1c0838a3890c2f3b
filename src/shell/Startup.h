#pragma once

#include <QString>

class ElevraApplication;

// The program start from the single-instance test to the end of the event loop; returns the
// exit code.
int runProgram(ElevraApplication& app, const QString& exeFolder);
