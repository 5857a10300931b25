/* KXTimedResize.js: the re-flow after the window has rested, shared by the Internet Explorer and
   Opera files (written into them by the build). GResizeNeedsForm is set by the including file. */

var GResizeTimer = null;
var GReflowRunning = false;

// The window reports many sizes while it is dragged: lay out once it has rested for 50 ms, then once
// more at the size the content needs when that is larger (unless the server is told the size).
function Body_OnResize() {
  if (GReflowRunning || (GResizeNeedsForm && !KXCLForm)) {
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
