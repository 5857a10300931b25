// The main of a recorded test unit of the demonstration: its classes are registered before the
// tests run, as the program's own main does before the console starts.
#include <gtest/gtest.h>

#include "content/KXFileParser.h"
#include "forms/KXForm.h"
#include "ServerController.h"
#include "Unit1.h"

int main(int argc, char** argv) {
  KXRegisterFileParser();
  KXRegisterServerController();
  TKXAppForm::SetAsMainForm<TKXForm1>();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
