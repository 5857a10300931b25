#pragma once
// URL and Base64 codecs, written once for the transport and the framework.
#include <string>
#include <string_view>

// Form-field decoding: '+' is a blank, "%XX" a byte, "%%" a single '%'. Malformed escapes raise
// ESkException with "Error decoding URL style (%XX) encoded string at position N" or
// "Invalid URL encoded character (%zz) at position N" (N: zero-based offset of the character after '%').
std::string HTTPDecode(std::string_view AEncoded);
// Path decoding for request URIs: "%XX" only ('+' stays); returns false on a malformed escape.
bool TryURLDecodePath(std::string_view AEncoded, std::string& ADecoded);
// Encodes every byte but ASCII letters, digits and the unreserved marks; a blank becomes '+'.
std::string HTTPEncode(std::string_view AText);

// The value of a hexadecimal digit of either case; -1 for any other character.
int HexDigitValue(char C);

std::string Base64Encode(std::string_view AData);
// Skips whitespace; stops at the first '=' or invalid character.
std::string Base64Decode(std::string_view AEncoded);
