/* KXBrowserCommon.js: the part the three browser files share (event wiring, element lookup,
   the submit form, focus and cursors). It is not served on its own: the build writes it into KXExplorer.js,
   KXGecko.js and KXOpera.js where they say "//= include KXBrowserCommon.js". */

// Browser events a client object can hook, in their fixed order (handler lists are indexed by it).
var KXCL_EventNames = ["abort", "blur", "change", "click", "dblclick", "dragdrop", "error", "focus", "keydown",
    "keypress", "keyup", "load", "mousedown", "mousemove", "mouseout", "mouseover", "mouseup", "move", "reset",
    "resize", "select", "submit", "unload"];

function KXCL_EventIndex(AEvent) {
  var xName = String(AEvent).toLowerCase();
  for (var i = 0; i < KXCL_EventNames.length; i++) {
    if (KXCL_EventNames[i] == xName) {
      return i;
    }
  }
  return -1;
}

function KXCL_HookEvent(AEvent, AHandler) {
  var xIndex = KXCL_EventIndex(AEvent);
  if (xIndex < 0 || !AHandler) {
    return;
  }
  if (!this.IEEventHandlers) {
    this.IEEventHandlers = [];
  }
  var xList = this.IEEventHandlers[xIndex];
  if (!xList) {
    xList = [];
    this.IEEventHandlers[xIndex] = xList;
    var xInline = this["on" + KXCL_EventNames[xIndex]];
    if (xInline) {
      xList.push(xInline);
    }
    this["on" + KXCL_EventNames[xIndex]] = KXEventHandler;
  }
  xList.push(AHandler);
}

// Runs the handlers of the element whose property handler fired (a bubbled event must not run a
// child's handlers a second time), or of the nearest element with handlers above the source.
function KXEventHandler(AEvent) {
  var xEvent = AEvent || window.event;
  var xIndex = KXCL_EventIndex(xEvent.type);
  var xElement = this && this.IEEventHandlers ? this : (xEvent.target || xEvent.srcElement);
  while (xElement && !(xElement.IEEventHandlers && xElement.IEEventHandlers[xIndex])) {
    xElement = xElement.parentNode;
  }
  if (!xElement) {
    return true;
  }
  var xList = xElement.IEEventHandlers[xIndex];
  for (var i = 0; i < xList.length; i++) {
    if (xList[i].call(xElement, xEvent) === false) {
      if (xEvent.type == "click") {
        ValidClick = false;
      }
      return false;
    }
  }
  return true;
}

function KXIsPlumbing(AElement) {
  var xForm = AElement.form;
  var xName = xForm ? (xForm.getAttribute("name") || "") : "";
  return xName == "SubmitForm" || xName == "HiddenSubmitForm";
}

// The element a control's name stands for: its input outside the page's own forms, else its id.
function FindElem(AName, AIgnoreForm) {
  if (!AName) {
    return null;
  }
  if (!AIgnoreForm) {
    var xNamed = document.getElementsByName(AName);
    for (var i = 0; i < xNamed.length; i++) {
      if (!KXIsPlumbing(xNamed[i])) {
        return xNamed[i];
      }
    }
  }
  return document.getElementById(AName);
}

function getSubmitForm() {
  if (typeof GIsPartialUpdate != "undefined" && GIsPartialUpdate) {
    // The frame carries only an id, and window.frames finds frames by name: go through the element.
    var xFrame = document.getElementById("SubmitFrame");
    var xDocument = xFrame ? (xFrame.contentDocument || (xFrame.contentWindow && xFrame.contentWindow.document)) : null;
    return xDocument ? xDocument.forms["SubmitForm"] || null : null;
  }
  return document.forms["SubmitForm"];
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
