// The demonstration server: records the application's classes, then runs the console (in its
// window when there is a display).
#include "content/KXFileParser.h"
#include "KXTerminalConsole.h"
#include "KXWindowFrontEnd.h"
#include "forms/KXAppForm.h"
#include "ServerController.h"
#include "Unit1.h"

int main(int argc, char** argv) {
  KXRegisterFileParser();
  KXRegisterServerController();
  TKXAppForm::SetAsMainForm<TKXForm1>();
  return KXRunHost(argc, argv, KXRunConsoleWindow);
}
