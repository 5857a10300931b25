/* KXPreScript.js: loaded before every other page script. Debug log, element lookup by id and the
   page lock (a transparent layer over the whole page that swallows clicks while the server works). */

var KXDEBUG = false;
var GActivateLock = false;   // the form's LockOnSubmit; the page sets it again in Initialize
var GKXLocked = false;       // the lock flag
var GKXLockerImage = "";     // optional image centred on the lock layer (createKXLocker)

function logMessage(AText) {
  if (KXDEBUG && window.console && window.console.log) {
    window.console.log(AText);
  }
}

function LocateElementById(AId) {
  if (document.getElementById) {
    return document.getElementById(AId);
  }
  return document.all ? document.all[AId] : null;
}

// The lock layer, made on first use: scripts may lock the page before the body has been read to the end.
function KXLockerElement(ACreate) {
  var xLocker = LocateElementById("KXLocker");
  if (xLocker || !ACreate || !document.body) {
    return xLocker;
  }
  xLocker = document.createElement("div");
  xLocker.id = "KXLocker";
  var xStyle = xLocker.style;
  xStyle.position = "absolute";
  xStyle.left = "0px";
  xStyle.top = "0px";
  xStyle.width = "100%";
  xStyle.height = "100%";
  xStyle.zIndex = 10000;
  xStyle.backgroundColor = "transparent";
  xStyle.display = "none";
  if (GKXLockerImage) {
    var xImage = document.createElement("img");
    xImage.src = GKXLockerImage;
    xImage.style.position = "absolute";
    xImage.style.left = "50%";
    xImage.style.top = "50%";
    xImage.style.marginLeft = "-16px";   // the loading animation is 32 x 32
    xImage.style.marginTop = "-16px";
    xLocker.appendChild(xImage);
  }
  document.body.appendChild(xLocker);
  return xLocker;
}

function ShowBusy(ABusy) {
  var xLocker = KXLockerElement(ABusy);
  if (xLocker) {
    xLocker.style.display = ABusy ? "block" : "none";
  }
}

function ActivateLock() {
  GKXLocked = true;
  ShowBusy(true);
}

function ReleaseLock() {
  GKXLocked = false;
  ShowBusy(false);
}

function IsLocked() {
  return GKXLocked;
}
