#pragma once
// The internal files: embedded scripts, images and templates the dispatcher serves by name
// ("/gfx/...", "/js/...", "/css/...", "/favicon.ico"), with the validators and caching rules of
// those responses. The table is filled at program start and only read afterwards.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "SkDateTime.h"

struct TKXInternalFile {
  std::string Name;        // resource name, upper-cased
  std::string FilePath;    // the path a page uses, e.g. "/js/KXCommon.js"
  std::string_view Bytes;  // the executable's bytes; never copied, valid until FreeInternalFiles
};

inline constexpr std::string_view kKXGfxResourcePrefix = "KX_GFX_";
inline constexpr std::string_view kKXScriptResourcePrefix = "KX_JS_";
inline constexpr std::string_view kKXCSSResourcePrefix = "KX_CSS_";
// Pages append this to script paths; the dispatcher cuts the name before "10.0.0".
inline constexpr std::string_view kKXScriptVersionSuffix = "_10.0.0";

// Registers an embedded resource under its upper-cased name; a name already present is kept.
// Raises EKXException "Cannot find internal file: %s" when the executable lacks the resource.
void AddInternalFile(std::string_view AResName, std::string_view AFileName);
// The framework's own entries, in their fixed order.
void AddInternalFiles();
void FreeInternalFiles();

// nullptr when AResName (any case) is not registered.
const TKXInternalFile* FindInternalFile(std::string_view AResName);
// The registered bytes; EKXException "Resource %s not found." for an unregistered name.
std::string_view InternalFileBytes(std::string_view AResName);
// "NAME=file path" lines in registration order.
std::vector<std::string> InternalFileLines();

// "KX_GFX_" + "a/b.gif" -> "KX_GFX_a_b": the name up to its first ".", "/" turned into "_".
std::string InternalResourceName(std::string_view APrefix, std::string_view AFileName);
// "KXCommon.js_10.0.0" -> "KX_JS_KXCommon".
std::string ScriptResourceName(std::string_view AFileName);
// The content type of an internal file: by the requested path's extension, and by the
// registered file path's when the request names none ("/gfx/LogoKexalo").
std::string InternalFileContentType(std::string_view ARequestPath, std::string_view AResName);

// The 304 rule of internal files: they change only when the server restarts, so a copy the
// client fetched no more than a second before the start (HTTP dates hold whole seconds) is current.
// AStartTime is the controller's start time (local); AIfModifiedSince the raw header (may be empty).
bool InternalFileNotModified(TDateTime AStartTime, std::string_view AIfModifiedSince);
// The 304 rule of disk files (files and cache folders): the client's copy is at least as new as
// the file, compared in whole seconds. AFileTime is local.
bool DiskFileNotModified(TDateTime AFileTime, std::string_view AIfModifiedSince);

// What a response is, for its caching headers.
enum TKXResponseKind {
  rkInternalFile,   // "/gfx/", "/js/", "/css/"
  rkFavIcon,
  rkFilesFolder,    // "/files/"
  rkFilesFolderNC,  // "/filesnc/"
  rkCacheFolder,
  rkSubmit,         // a page of "/EXEC/"; cacheable for track ids other than 0
  rkPartialUpdate,
  rkUncached,       // start, re-entry, upload, callback, resize, stop, ping, hidden-field tracking, errors
};

// Whether a response of that kind gets "Expires" = now + CacheExpiry minutes (true) or loses
// "Expires" and gets "Pragma: no-cache" off the SSL port (false).
bool ResponseCacheable(TKXResponseKind AKind, int AStatusCode, TDateTime ALastModified = 0, uint32_t ATrackID = 0);
