/* KXPartialUpdate.js: loaded by the documents of the hidden partial-update frame. Their scripts
   reach the page that holds the frame through KXTop() and replace the changed controls there. */

function KXTop() {
  try {
    if (window.parent && window.parent != window && window.parent.KXTop) {
      return window.parent.KXTop();
    }
  } catch (e) {
    // a parent of another origin is not part of the application
  }
  return window;
}

// The control's old element keeps living under another id until its wrapper's content is replaced,
// so that nothing finds the stale element under the control's name.
function KXUpdate(AName, AHtml) {
  var xDocument = KXTop().document;
  var xOld = xDocument.getElementById(AName);
  if (xOld) {
    xOld.id = AName + "_INVALID";
  }
  var xWrapper = xDocument.getElementById(AName + "_UPDATE");
  if (xWrapper) {
    xWrapper.innerHTML = AHtml;
  }
}

function KXCLUpdate(AName, AVisible, ALeft, ATop, AWidth, AHeight) {
  var xTop = KXTop();
  var xObject = xTop[AName + "KXCL"];
  if (!xObject) {
    return;
  }
  if (xObject.KXSetVisible) {
    xObject.KXSetVisible(AVisible);
  } else {
    xObject.Visible = AVisible;
  }
  xObject.OriginalRect = new xTop.Rect(ALeft, ATop, AWidth, AHeight);
}
