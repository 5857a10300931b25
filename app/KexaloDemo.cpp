// The demonstration server: records the application's classes, then runs the console.
#include "KXFileParser.h"
#include "KXTerminalConsole.h"
#include "ServerController.h"

int main(int argc, char** argv) {
  KXRegisterFileParser();
  KXRegisterServerController();
  return KXRunHost(argc, argv);
}
