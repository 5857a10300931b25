#pragma once
// Text encoders shared by the session, the page context and the controls.
#include <string>
#include <string_view>

// Text ready to stand between quotes in a script: LF becomes "\n", CR goes, and a backslash goes
// before each double quote, apostrophe, "<", ">" and backslash.
std::string KXTextToJSStringLiteral(std::string_view AText);
