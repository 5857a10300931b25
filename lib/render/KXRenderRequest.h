#pragma once
// What a page's render needs from the request and the application's settings. The form fills it
// once per render and the page context carries it down: controls and layouts read it instead of
// reaching for the session or the controller.
#include <string>

#include "core/KXBrowser.h"
#include "core/KXGlobal.h"

struct TKXRenderRequest {
  TKXBrowser Browser = brIE;
  bool PartialUpdate = false;   // the request updates parts of the page
  bool CallBack = false;        // the request is an asynchronous callback
  TKXSessionTrackingMethod Tracking = tmURL;
  std::string CharSet = "UTF-8";
  // The line separator inside generated page text: CR LF with the controller's DebugHTML (readable
  // page source), empty otherwise (smaller pages). Text that needs a break regardless writes CR LF.
  std::string LineEnd;
  std::string AppURLBase;   // the session's URL base
  std::string FilesURL;     // the files folder's address
  std::string SessionID;
  unsigned TrackID = 0;
  bool Terminated = false;   // the session ended while this request ran
  // Page transitions are asked for and the browser shows them.
  bool PageTransitions = false;
  // The first visible file control of the page the browser has (its files go before a submit).
  std::string FirstFileControl;
};
