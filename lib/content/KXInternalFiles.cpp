#include "content/KXInternalFiles.h"

#include <cmath>
#include <deque>
#include <map>
#include <mutex>

#include "content/KXContentTypes.h"
#include "core/KXException.h"
#include "core/KXResources.h"
#include "SkStrUtils.h"

void KXRegisterFrameworkResources();   // generated with the embedded resources

namespace {

struct TEntryDef {
  const char* ResName;
  const char* FileName;
};

// The framework's entries in their fixed order (the browser runtime's scripts are embedded from
// lib/assets/scripts as KX_JS_ + the upper-cased base name).
const TEntryDef kFrameworkEntries[] = {
    {"KX_FAVICON", "FAVICON.ICO"},
    {"KX_GFX_ERROR", "Error.html"},
    {"KX_GFX_SESSIONTIMEOUT", "SessionTimeout.html"},
    {"KX_JS_KXCOMMON", "/js/KXCommon.js"},
    {"KX_JS_KXEXPLORER", "/js/KXExplorer.js"},
    {"KX_JS_KXOPERA", "/js/KXOpera.js"},
    {"KX_JS_KXGECKO", "/js/KXGecko.js"},
    {"KX_JS_KXCL", "/js/KXCL.js"},
    {"KX_JS_KXCSDATA", "/js/KXCSData.js"},
    {"KX_JS_KXPRESCRIPT", "/js/KXPreScript.js"},
    {"KX_JS_KXPARTIALUPDATE", "/js/KXPartialUpdate.js"},
    {"KX_JS_KXAJAX", "/js/KXAjax.js"},
    {"KX_GFX_Tp", "/gfx/Tp.gif"},
    {"KX_GFX_LogoVelmor", "/gfx/VelmorLogo.gif"},
    {"KX_GFX_LogoKexalo", "/gfx/KexaloLogo.gif"},
    {"KX_GFX_loading", "/gfx/loading.gif"},
    // Third-party libraries served unchanged (or as stand-ins) for applications that load them.
    {"KX_JS_PROTOTYPE", "/js/Prototype.js"},
    {"KX_JS_RICO", "/js/Rico.js"},
    {"KX_JS_SILVERLIGHT", "/js/Silverlight.js"},
};

struct TInternalFileTable {
  std::mutex Lock;   // guards Entries and ByName; writers run at start-up and at exit
  std::deque<TKXInternalFile> Entries;   // a deque keeps entry addresses stable while it grows
  std::map<std::string, const TKXInternalFile*, TSkLessText> ByName;
};

TInternalFileTable& Table() {
  static TInternalFileTable T;
  return T;
}

constexpr double kSecondsPerDay = 86400.0;

// If-Modified-Since as a UTC date-time; false when absent or not a date.
bool ClientCopyDate(std::string_view AIfModifiedSince, TDateTime& AUTC) {
  return !Trim(AIfModifiedSince).empty() && TryParseHTTPDate(Trim(AIfModifiedSince), AUTC);
}

double WholeSeconds(TDateTime AValue) { return std::floor(AValue * kSecondsPerDay + 1e-6); }

}  // namespace

void AddInternalFile(std::string_view AResName, std::string_view AFileName) {
  KXRegisterFrameworkResources();
  const std::string Name = UpperCase(AResName);
  TInternalFileTable& T = Table();
  std::lock_guard<std::mutex> Guard(T.Lock);
  if (T.ByName.count(Name)) return;
  const auto Bytes = KXFindResource(Name);
  if (!Bytes) throw EKXException("Cannot find internal file: " + Name);
  T.Entries.push_back({Name, std::string(AFileName), *Bytes});
  T.ByName.emplace(Name, &T.Entries.back());
}

void AddInternalFiles() {
  for (const TEntryDef& E : kFrameworkEntries) AddInternalFile(E.ResName, E.FileName);
}

void FreeInternalFiles() {
  TInternalFileTable& T = Table();
  std::lock_guard<std::mutex> Guard(T.Lock);
  T.ByName.clear();
  T.Entries.clear();
}

const TKXInternalFile* FindInternalFile(std::string_view AResName) {
  TInternalFileTable& T = Table();
  std::lock_guard<std::mutex> Guard(T.Lock);
  auto It = T.ByName.find(AResName);
  return It == T.ByName.end() ? nullptr : It->second;
}

std::string_view InternalFileBytes(std::string_view AResName) {
  const TKXInternalFile* F = FindInternalFile(AResName);
  if (!F) throw EKXException("Resource " + std::string(AResName) + " not found.");
  return F->Bytes;
}

std::vector<std::string> InternalFileLines() {
  TInternalFileTable& T = Table();
  std::lock_guard<std::mutex> Guard(T.Lock);
  std::vector<std::string> R;
  for (const TKXInternalFile& F : T.Entries) R.push_back(F.Name + "=" + F.FilePath);
  return R;
}

std::string InternalResourceName(std::string_view APrefix, std::string_view AFileName) {
  return std::string(APrefix) + ReplaceAll(AFileName.substr(0, AFileName.find('.')), "/", "_");
}

std::string ScriptResourceName(std::string_view AFileName) {
  return InternalResourceName(kKXScriptResourcePrefix, AFileName.substr(0, AFileName.find("10.0.0")));
}

std::string InternalFileContentType(std::string_view ARequestPath, std::string_view AResName) {
  const std::string Ext = ExtractFileExtension(ARequestPath);
  if (Ext.empty())
    if (const TKXInternalFile* F = FindInternalFile(AResName)) return ContentTypeOfFile(F->FilePath);
  return ContentTypeOfExtension(Ext);
}

bool InternalFileNotModified(TDateTime AStartTime, std::string_view AIfModifiedSince) {
  TDateTime ClientUTC;
  if (!ClientCopyDate(AIfModifiedSince, ClientUTC)) return false;
  // The header is UTC and the start time local: compare both in UTC, or every zone east of
  // Greenwich would never validate and every zone west of it would validate stale copies.
  return (LocalToUTC(AStartTime) - ClientUTC) * kSecondsPerDay <= 1.0;
}

bool DiskFileNotModified(TDateTime AFileTime, std::string_view AIfModifiedSince) {
  TDateTime ClientUTC;
  if (!ClientCopyDate(AIfModifiedSince, ClientUTC)) return false;
  // Last-Modified went out in whole seconds; a file time with a fraction must not defeat it.
  return WholeSeconds(ClientUTC) >= WholeSeconds(LocalToUTC(AFileTime));
}

bool ResponseCacheable(TKXResponseKind AKind, int AStatusCode, TDateTime ALastModified, uint32_t ATrackID) {
  switch (AKind) {
    case rkInternalFile: return AStatusCode == 200;
    case rkFavIcon: return true;
    case rkFilesFolder: return AStatusCode == 200;
    case rkFilesFolderNC: return false;
    case rkCacheFolder: return AStatusCode == 200 && ALastModified > 0;
    case rkSubmit: return ATrackID != 0;
    case rkPartialUpdate: return true;
    case rkUncached: return false;
  }
  return false;
}
