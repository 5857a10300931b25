/* KXGecko.js: browser file for Gecko, Safari and Chrome (standard event model). Event wiring,
   element lookup, the submit form, and the re-flow on window resize. */

var GBrowserFamily = "gecko";

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

// Gecko lays out at once: first inside the scroll bars' room, then at the size the bars leave.
function Body_OnResize() {
  DoFirstResize();
  DoSecondResize();
  return true;
}

function DoFirstResize() {
  KXCL_Reflow(window.innerWidth - 21, window.innerHeight - 21);
}

function DoSecondResize() {
  var xWidth = window.innerWidth;
  var xHeight = window.innerHeight;
  if (xWidth < document.body.scrollWidth) {
    xWidth = document.body.scrollWidth;
    xHeight -= 17;
  } else {
    xWidth -= 2;
  }
  if (xHeight < document.body.scrollHeight) {
    xHeight = document.body.scrollHeight;
    xWidth -= 17;
  } else {
    xHeight -= 1;
  }
  KXCL_Reflow(xWidth, xHeight);
}
