/* KXExplorer.js: browser file for Internet Explorer. Event wiring, element lookup, the submit form,
   and the re-flow on window resize (after the window has rested). */

var GBrowserFamily = "explorer";

//= include KXBrowserCommon.js

// An image button posts where it was clicked, as "x,y" in its parameter.
function ImageClick(AEvent, AName, AValidate) {
  var xEvent = AEvent || window.event;
  return SubmitClickConfirm(AName, xEvent.offsetX + "," + xEvent.offsetY, AValidate, "");
}

function KXCL_Reflow(AWidth, AHeight) {
  if (KXCLForm) {
    KXCLForm.UpdateRects(new Rect(0, 0, AWidth, AHeight));
  }
}

var GResizeNeedsForm = true;   // without a client form object there is nothing to lay out

//= include KXTimedResize.js
