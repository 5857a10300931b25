/* KXSplitter.js: the grip of a region aligned to one side of its parent. Dragging the grip moves
   the region's free edge; its aligned siblings follow through the owner's re-flow, and on release
   the region's field "<name>_data" gets the new "position,size" for the next post. */
var KXSplitter = window.KXSplitter || {};

// A region is never dragged smaller than this: its grip must stay within reach.
KXSplitter.MinSize = 16;
KXSplitter.Drag = null;

// side is the region's edge the grip sits on: "right" (left-aligned), "left" (right-aligned),
// "bottom" (top-aligned) or "top" (bottom-aligned).
function GripMouseDown(AEvent, ASide) {
  var xEvent = AEvent || window.event;
  if (KXSplitter.Drag || (xEvent.button !== undefined && xEvent.button !== 0)) {
    return true;
  }
  var xGrip = xEvent.currentTarget || xEvent.srcElement;
  while (xGrip && !/_grip$/.test(xGrip.id || "")) {
    xGrip = xGrip.parentNode;
  }
  if (!xGrip) {
    return true;
  }
  var xName = xGrip.id.substring(0, xGrip.id.length - 5);
  var xRegion = window[xName + "KXCL"];
  var xField = document.getElementById(xName + "_data");
  if (!xRegion || !xRegion.Rect || !xField) {
    return true;
  }
  var xAcross = ASide == "left" || ASide == "right";
  var xValue = String(xField.value).split(",");
  var xOwner = xRegion.Owner;
  // The region may take what its owner has left once the aligned controls are placed, short of
  // the smallest size: a client-aligned neighbour keeps at least that much.
  var xFree = 0;
  if (xOwner && xOwner.ClientRect) {
    xFree = Math.max(0, (xAcross ? xOwner.ClientRect.width : xOwner.ClientRect.height) - KXSplitter.MinSize);
  }
  KXSplitter.Drag = {
    Region: xRegion,
    Field: xField,
    Side: ASide,
    Across: xAcross,
    X: xEvent.clientX,
    Y: xEvent.clientY,
    Start: CopyRect(xRegion.Rect),
    // The server's own numbers: the drag changes them by as much as it changes the page.
    Position: parseInt(xValue[0], 10) || 0,
    Size: parseInt(xValue[1], 10) || 0,
    Max: (xAcross ? xRegion.Rect.width : xRegion.Rect.height) + xFree
  };
  document.addEventListener("mousemove", KXSplitter_MouseMove, true);
  document.addEventListener("mouseup", KXSplitter_MouseUp, true);
  if (xEvent.preventDefault) {
    xEvent.preventDefault();   // no text selection while dragging
  }
  return false;
}

function KXSplitter_Resize(ADrag, AEvent) {
  var xStart = ADrag.Start;
  var xDelta = ADrag.Across ? AEvent.clientX - ADrag.X : AEvent.clientY - ADrag.Y;
  // A grip on the near edge (left, top) grows the region as it moves towards the owner's origin.
  if (ADrag.Side == "left" || ADrag.Side == "top") {
    xDelta = -xDelta;
  }
  var xOld = ADrag.Across ? xStart.width : xStart.height;
  var xSize = Math.max(KXSplitter.MinSize, Math.min(xOld + xDelta, ADrag.Max));
  xDelta = xSize - xOld;
  var xRect = CopyRect(xStart);
  if (ADrag.Across) {
    xRect.width = xSize;
    if (ADrag.Side == "left") {
      xRect.left -= xDelta;
    }
  } else {
    xRect.height = xSize;
    if (ADrag.Side == "top") {
      xRect.top -= xDelta;
    }
  }
  var xRegion = ADrag.Region;
  xRegion.SetRect(xRect);
  xRegion.UpdateRects(xRect);
  var xOwner = xRegion.Owner;
  if (xOwner && xOwner.UpdateRects && xOwner.Rect) {
    xOwner.UpdateRects(CopyRect(xOwner.Rect));
  }
}

function KXSplitter_MouseMove(AEvent) {
  if (KXSplitter.Drag) {
    KXSplitter_Resize(KXSplitter.Drag, AEvent);
    AEvent.preventDefault();
  }
}

function KXSplitter_MouseUp(AEvent) {
  var xDrag = KXSplitter.Drag;
  document.removeEventListener("mousemove", KXSplitter_MouseMove, true);
  document.removeEventListener("mouseup", KXSplitter_MouseUp, true);
  if (!xDrag) {
    return;
  }
  KXSplitter_Resize(xDrag, AEvent);
  KXSplitter.Drag = null;
  var xNow = xDrag.Region.Rect;
  var xStart = xDrag.Start;
  var xPosition = xDrag.Position + (xDrag.Across ? xNow.left - xStart.left : xNow.top - xStart.top);
  var xSize = xDrag.Size + (xDrag.Across ? xNow.width - xStart.width : xNow.height - xStart.height);
  xDrag.Field.value = xPosition + "," + xSize;
}
