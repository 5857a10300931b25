#pragma once
// WAP handsets: the markup kind for a generic WAP browser and the description of a handset found
// in the device table (built-in resource "KX_WAP_DB", then "wapdb.dat" of the application folder).
#include <string>
#include <string_view>

class TSkStringList;

enum TKXWAPOutputTagType { wotWML, wotXHTMLMP };

// XHTML MP for the handsets known to take it, WML for the others.
TKXWAPOutputTagType DetermineWAPClient(std::string_view AUserAgent);

// Owned by a session and touched only while the session is locked.
class TKXWAPClient {
public:
  // Builds the process-wide device table; run once at program start, before the first session.
  // AApplicationFolder (empty: none) may hold a "wapdb.dat" whose lines follow the built-in ones.
  static void LoadWAPDB(std::string_view AApplicationFolder = {});
  // The device table: "model=width;height;areawidth;areaheight;colours;auth;wap;wml" lines.
  static const TSkStringList& WAPDB();

  // Stores the user agent and takes the fields of the first table line whose model it names;
  // without a match only UserAgent changes.
  void SetUserAgent(std::string_view AUserAgent);

  bool IsKnownClient() const { return FIsKnownClient; }
  TKXWAPOutputTagType OutputTagType() const { return FOutputTagType; }
  const std::string& UserAgent() const { return FUserAgent; }
  int ScreenWidth() const { return FScreenWidth; }
  int ScreenHeight() const { return FScreenHeight; }
  int ScreenAreaWidth() const { return FScreenAreaWidth; }
  int ScreenAreaHeight() const { return FScreenAreaHeight; }
  int ColorDepth() const { return FColorDepth; }
  bool SupportsHTTPAuth() const { return FSupportsHTTPAuth; }
  const std::string& WAPVersion() const { return FWAPVersion; }
  const std::string& WMLVersion() const { return FWMLVersion; }

  // The session sets the markup kind; an OnWAPClientDetect handler may adjust the rest.
  void SetOutputTagType(TKXWAPOutputTagType AValue) { FOutputTagType = AValue; }
  void SetScreenSize(int AWidth, int AHeight) { FScreenWidth = AWidth; FScreenHeight = AHeight; }
  void SetScreenAreaSize(int AWidth, int AHeight) { FScreenAreaWidth = AWidth; FScreenAreaHeight = AHeight; }
  void SetColorDepth(int AValue) { FColorDepth = AValue; }
  void SetSupportsHTTPAuth(bool AValue) { FSupportsHTTPAuth = AValue; }
  void SetWAPVersion(std::string_view AValue) { FWAPVersion = AValue; }
  void SetWMLVersion(std::string_view AValue) { FWMLVersion = AValue; }

private:
  bool FIsKnownClient = false;
  TKXWAPOutputTagType FOutputTagType = wotWML;
  std::string FUserAgent;
  int FScreenWidth = 0;
  int FScreenHeight = 0;
  int FScreenAreaWidth = 0;
  int FScreenAreaHeight = 0;
  int FColorDepth = 0;
  bool FSupportsHTTPAuth = false;
  std::string FWAPVersion;
  std::string FWMLVersion;
};
