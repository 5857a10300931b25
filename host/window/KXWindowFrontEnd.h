#pragma once
// The console in a window: the program entry hands this to KXRunHost, which falls back to the
// terminal when it answers -1.
#include <string>

#include "KXConsole.h"

// Runs the console window until it is closed and returns the exit code; -1 with AWhyNot set
// when no display server can be reached (nothing was started). SIGINT and SIGTERM close the
// window as the operator would.
int KXRunConsoleWindow(int argc, char** argv, const TKXConsoleOptions& AOptions, std::string& AWhyNot);

// Whether a window can be opened here; otherwise AWhyNot says why. Qt aborts the process when
// its platform cannot start, so this is asked before any window toolkit object exists.
bool KXDisplayReachable(std::string& AWhyNot);
