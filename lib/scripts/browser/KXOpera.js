/* KXOpera.js: browser file for Opera. Event wiring, element lookup, the submit form, and the
   re-flow on window resize (after the window has rested). */

var GBrowserFamily = "opera";

//= include KXBrowserCommon.js

// An image button posts where it was clicked, as "x,y" in its parameter.
function ImageClick(AEvent, AName, AValidate) {
  var xEvent = AEvent || window.event;
  return SubmitClickConfirm(AName, xEvent.layerX + "," + xEvent.layerY, AValidate, "");
}

function KXCL_Reflow(AWidth, AHeight) {
  if (KXCLForm) {
    KXCLForm.UpdateRects(new Rect(0, 0, AWidth, AHeight));
  }
}

var GResizeTimer = null;
var GReflowRunning = false;

// The window reports many sizes while it is dragged: lay out once it has rested for 50 ms, then once
// more at the size the content needs when that is larger (unless the server is told the size).
function Body_OnResize() {
  if (GReflowRunning) {
    return true;
  }
  if (GResizeTimer) {
    clearTimeout(GResizeTimer);
  }
  GResizeTimer = setTimeout(DoFirstResize, 50);
  return true;
}

function KXCL_TimedReflow(AWidth, AHeight) {
  GReflowRunning = true;
  try {
    KXCL_Reflow(AWidth, AHeight);
  } finally {
    GReflowRunning = false;
  }
}

function DoFirstResize() {
  GResizeTimer = null;
  KXCL_TimedReflow(document.body.clientWidth, document.body.clientHeight);
  if (!LocateElementById("onresize")) {
    GResizeTimer = setTimeout(DoSecondResize, 20);
  }
}

function DoSecondResize() {
  GResizeTimer = null;
  var xBody = document.body;
  KXCL_TimedReflow(Math.max(xBody.clientWidth, xBody.scrollWidth), Math.max(xBody.clientHeight, xBody.scrollHeight));
}

function DoFocus(AName) {
  var xElement = FindFocus(AName);
  if (xElement && xElement.focus) {
    try {
      xElement.focus();
    } catch (e) {
      // a hidden or disabled element cannot take the focus
    }
  }
}

// Per-page state the library needs before Initialize runs the controls' init lines.
function StaticInit() {
  GSubmitting = false;
  ValidClick = true;
  window.eventProcessing = false;
}

function SetCursor(AElement, ACursor) {
  if (AElement && AElement.style) {
    AElement.style.cursor = ACursor == "hand" ? "pointer" : ACursor;
  }
}
