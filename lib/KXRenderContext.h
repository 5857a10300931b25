#pragma once
// Page-level rendering state shared by the page context and everything that writes page text.
#include <string>

// The line separator inside generated page text: CR LF when the controller's DebugHTML is on
// (readable page source), empty otherwise (smaller pages). Process-wide: the server controller
// calls SetPageEOL once when it is loaded; request threads only read it. Places that need a
// line break regardless of DebugHTML write a fixed CR LF instead.
const std::string& PageEOL();
void SetPageEOL(bool ADebugHTML);
