#pragma once
// Encoders of framework text (UTF-8) for the places it lands in a page: element content and
// attribute values, script string literals, hidden-field values.
#include <string>
#include <string_view>

// Escapes the characters markup treats specially (" & ' < >). With AConvertEOLs a line feed
// becomes "<br>" and a carriage return is dropped; with AConvertSpaces a blank becomes "&nbsp;".
std::string TextToHTML(std::string_view AText, bool AConvertEOLs = true, bool AConvertSpaces = false);
void AppendTextToHTML(std::string& AOut, std::string_view AText, bool AConvertEOLs = true,
                      bool AConvertSpaces = false);

// Text ready to stand between quotes (either kind) in a script: line feed becomes \n, carriage
// return goes, and " ' < > \ get a backslash ("<\/script>" cannot end the script block early).
std::string TextToJSStringLiteral(std::string_view AText);

// Hidden-field values: letters A-Z and a-z, digits, "," "-" "." "_" stay; every other character
// becomes "&#<code point>;". Bytes that are not valid UTF-8 count as U+FFFD.
std::string TextToHTMLStringLiteral(std::string_view AText);
