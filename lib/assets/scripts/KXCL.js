/* KXCL.js: client objects. Each control's page element is extended with its layout data (owner,
   alignment, anchors, rectangles) so that the page can re-flow aligned and anchored controls in the
   browser whenever the window size changes. */

var alNone = 0, alTop = 1, alBottom = 2, alLeft = 3, alRight = 4, alClient = 5, alCustom = 6;

var KXCLForm = null;

function Rect(ALeft, ATop, AWidth, AHeight) {
  this.left = ALeft;
  this.top = ATop;
  this.width = AWidth;
  this.height = AHeight;
}

function CopyRect(ARect) {
  return new Rect(ARect.left, ARect.top, ARect.width, ARect.height);
}

function KXSameRect(A, B) {
  return A.left == B.left && A.top == B.top && A.width == B.width && A.height == B.height;
}

function KXSameSize(A, B) {
  return A.width == B.width && A.height == B.height;
}

function CreateAnchors(ALeft, ARight, ATop, ABottom) {
  this.Left = ALeft;
  this.Right = ARight;
  this.Top = ATop;
  this.Bottom = ABottom;
}

// The anchors each alignment implies; a control whose anchors differ is also moved by them.
function KXNaturalAnchors(AAlign) {
  switch (AAlign) {
    case alTop: return new CreateAnchors(true, true, true, false);
    case alBottom: return new CreateAnchors(true, true, false, true);
    case alLeft: return new CreateAnchors(true, false, true, true);
    case alRight: return new CreateAnchors(false, true, true, true);
    default: return new CreateAnchors(true, false, true, false);
  }
}

function KXSameAnchors(A, B) {
  return A.Left == B.Left && A.Right == B.Right && A.Top == B.Top && A.Bottom == B.Bottom;
}

function LocateElement(AId) {
  return LocateElementById(AId);
}

// The visible input elements of that name: those of the submit form and of the upload frames'
// forms (all named HiddenSubmitForm) are the page's own plumbing, not what the user typed.
function LocateInputElement(AName) {
  var xResult = [];
  if (!AName || !document.getElementsByName) {
    return xResult;
  }
  var xElements = document.getElementsByName(AName);
  for (var i = 0; i < xElements.length; i++) {
    var xForm = xElements[i].form;
    var xFormName = xForm ? (xForm.getAttribute("name") || "") : "";
    if (xFormName != "SubmitForm" && xFormName != "HiddenSubmitForm") {
      xResult.push(xElements[i]);
    }
  }
  return xResult;
}

function KXComputedStyle(AElement) {
  if (window.getComputedStyle) {
    return window.getComputedStyle(AElement, null);
  }
  return AElement.currentStyle || AElement.style;
}

function KXIsShown(AElement) {
  var xStyle = KXComputedStyle(AElement);
  return xStyle.visibility != "hidden" && xStyle.display != "none";
}

// Visible itself and every owner up to the form.
function KXCL_IsVisible(AObject) {
  for (var xObject = AObject; xObject && xObject !== KXCLForm; xObject = xObject.Owner) {
    if (!xObject.Visible) {
      return false;
    }
  }
  return true;
}

function NewKXCL(AOwner, AId, AVisible) {
  var xElement = LocateElementById(AId);
  if (!xElement) {
    return null;
  }
  return CreateKXCLObject(xElement, AOwner || KXCLForm, AId, AVisible);
}

function CreateKXCLObject(AElement, AOwner, AId, AVisible) {
  var xObject = AElement;
  xObject.Owner = AOwner;
  xObject.BorderWidth = 0;
  xObject.BorderWidthPixels = 0;
  xObject.Align = alNone;
  xObject.VarName = AId + "KXCL";
  xObject.Anchors = new CreateAnchors(true, false, true, false);
  xObject.OriginalRect = new Rect(AElement.offsetLeft, AElement.offsetTop, AElement.offsetWidth, AElement.offsetHeight);
  xObject.Rect = CopyRect(xObject.OriginalRect);
  // Every init line passes false; the element's own style (class rule included) says whether it shows.
  xObject.Visible = KXIsShown(AElement);
  xObject.OwnedComps = [];
  xObject.IEEventHandlers = [];
  xObject.KXShow = KXCL_Show;
  xObject.KXHide = KXCL_Hide;
  xObject.KXSetVisible = KXCL_SetVisible;
  xObject.SetAlign = KXCL_SetAlign;
  xObject.SetAnchors = KXCL_SetAnchors;
  xObject.SetRect = KXCL_SetRect;
  xObject.UpdateRects = KXCL_UpdateRects;
  xObject.UpdateTopLeft = KXCL_UpdateTopLeft;
  xObject.HookEvent = KXCL_HookEvent;
  xObject.KXRelease = KXCL_Release;
  if (AOwner && AOwner.OwnedComps) {
    AOwner.OwnedComps.push(xObject);
  }
  return xObject;
}

function CreateKXCLForm(AWidth, AHeight) {
  var xForm = {};
  xForm.IsForm = true;
  xForm.Owner = null;
  xForm.Visible = true;
  xForm.Align = alNone;
  xForm.BorderWidth = 0;
  xForm.BorderWidthPixels = 0;
  xForm.Rect = new Rect(0, 0, AWidth, AHeight);
  xForm.OriginalRect = new Rect(0, 0, AWidth, AHeight);
  xForm.OwnedComps = [];
  xForm.UpdateRects = KXCL_UpdateRects;
  xForm.SizeTimer = null;
  // Handlers hooked on the form go to the page body.
  xForm.HookEvent = function (AEvent, AHandler) {
    if (!document.body.IEEventHandlers) {
      document.body.IEEventHandlers = [];
    }
    KXCL_HookEvent.call(document.body, AEvent, AHandler);
  };
  return xForm;
}

function InitRects(AFormWidth, AFormHeight) {
  if (KXCLForm && KXCLForm.SizeTimer) {
    clearTimeout(KXCLForm.SizeTimer);
  }
  KXCLForm = CreateKXCLForm(AFormWidth, AFormHeight);
  return KXCLForm;
}

function KXCL_Show() {
  this.KXSetVisible(true);
}

function KXCL_Hide() {
  this.KXSetVisible(false);
}

function KXCL_SetVisible(AVisible) {
  this.Visible = AVisible;
  this.style.visibility = AVisible ? "visible" : "hidden";
}

function SetVisibility(AId, AVisible) {
  var xObject = LocateElementById(AId);
  if (!xObject) {
    return;
  }
  if (xObject.KXSetVisible) {
    xObject.KXSetVisible(AVisible);
  } else {
    xObject.style.visibility = AVisible ? "visible" : "hidden";
  }
}

function KXCL_SetAlign(AAlign) {
  this.Align = AAlign;
}

function KXCL_SetAnchors(AAnchors) {
  this.Anchors = AAnchors;
}

function KXCL_IsClipped(AObject) {
  if (AObject.Clip) {
    return true;
  }
  var xClip = KXComputedStyle(AObject).clip;
  return xClip && xClip != "auto";
}

function KXCL_SetRect(ARect) {
  if (KXSameRect(ARect, this.Rect)) {
    return;
  }
  if (ARect.left + ARect.width < 0 || ARect.top + ARect.height < 0 || ARect.width < 0 || ARect.height < 0) {
    return;
  }
  this.style.left = ARect.left + "px";
  this.style.top = ARect.top + "px";
  var xGecko = typeof GBrowserFamily != "undefined" && GBrowserFamily == "gecko";
  var xClipped = !this.IsForm && KXCL_IsClipped(this);
  if (xGecko) {
    // Gecko counts the border outside the style size.
    var xBorder = 2 * this.BorderWidthPixels;
    var xSize = new Rect(0, 0, ARect.width - xBorder, ARect.height - xBorder);
    if (!KXSameSize(xSize, this.Rect) && xSize.width >= 0 && xSize.height >= 0) {
      this.style.width = xSize.width + "px";
      this.style.height = xSize.height + "px";
    }
    if (xClipped) {
      this.style.clip = "rect(0px," + ARect.width + "px," + ARect.height + "px,0px)";
    }
  } else if (!KXSameSize(ARect, this.Rect)) {
    this.style.width = ARect.width + "px";
    this.style.height = ARect.height + "px";
    if (xClipped) {
      this.style.clip = "rect(0px," + ARect.width + "px," + ARect.height + "px,0px)";
    }
  }
}

function KXCL_UpdateTopLeft() {
  this.style.left = this.Rect.left + "px";
  this.style.top = this.Rect.top + "px";
}

function KXCL_SendNewSize(AWidth, AHeight) {
  if (KXCLForm) {
    KXCLForm.SizeTimer = null;
  }
  if (GSubmitting) {
    return;
  }
  var xFrame = LocateElementById("onresize");
  if (!xFrame) {
    return;
  }
  GSubmitting = true;
  xFrame.src = GResizeURL + "&KX_width=" + AWidth + "&KX_height=" + AHeight;
}

// The form's own part: the server learns the new size (now through the submit form's size fields,
// later through the resize frame when the page has one).
function KXCL_FormSizeChanged(AForm, ARect) {
  var xChanged = !KXSameSize(ARect, AForm.Rect);
  if (xChanged && AForm.SizeTimer) {
    clearTimeout(AForm.SizeTimer);
    AForm.SizeTimer = null;
  }
  if (xChanged && LocateElementById("onresize")) {
    AForm.SizeTimer = setTimeout(function () {
      KXCL_SendNewSize(ARect.width, ARect.height);
    }, GOnResizetimeout);
  }
  var xSubmitForm = getSubmitForm();
  if (xSubmitForm) {
    KXSetField(xSubmitForm, "KX_width", ARect.width);
    KXSetField(xSubmitForm, "KX_height", ARect.height);
  }
}

function KXCL_UpdateRects(ARect) {
  if (this === KXCLForm) {
    KXCL_FormSizeChanged(this, ARect);
  }
  this.ClientRect = new Rect(0, 0, ARect.width, ARect.height);
  this.Rect = CopyRect(ARect);
  if (this.OwnedComps && this.OwnedComps.length > 0) {
    var xOrder = [alTop, alBottom, alLeft, alRight, alClient, alNone];
    for (var i = 0; i < xOrder.length; i++) {
      DoAlign(this, xOrder[i]);
    }
  }
}

function KXAlignOrder(AAlign, A, B) {
  switch (AAlign) {
    case alTop:
    case alClient: return A.Rect.top - B.Rect.top;
    case alBottom: return B.Rect.top - A.Rect.top;
    case alLeft: return A.Rect.left - B.Rect.left;
    case alRight: return B.Rect.left - A.Rect.left;
    default: return 0;
  }
}

function DoAlign(AParent, AAlign) {
  var xList = [];
  var i;
  for (i = 0; i < AParent.OwnedComps.length; i++) {
    var xComp = AParent.OwnedComps[i];
    if (xComp.Align == AAlign && KXCL_IsVisible(xComp)) {
      xList.push({ Comp: xComp, Index: i });
    }
  }
  // Array.sort need not be stable; the creation order breaks ties.
  xList.sort(function (A, B) {
    return KXAlignOrder(AAlign, A.Comp, B.Comp) || A.Index - B.Index;
  });
  for (i = 0; i < xList.length; i++) {
    DoUpdateRects(AParent, xList[i].Comp, AAlign);
  }
}

// Places one control in its parent's client area, by anchors and then by alignment.
function DoUpdateRects(AParent, AControl, AAlign) {
  var xBorder = 2 * AParent.BorderWidthPixels;
  var xClient = AParent.ClientRect;
  var xOriginal = AControl.OriginalRect;
  var L = AControl.Rect.left, T = AControl.Rect.top, W = AControl.Rect.width, H = AControl.Rect.height;
  if (AAlign != alClient && (AAlign == alNone || !KXSameAnchors(AControl.Anchors, KXNaturalAnchors(AAlign)))) {
    var xDeltaWidth = AParent.Rect.width - AParent.OriginalRect.width;
    var xDeltaHeight = AParent.Rect.height - AParent.OriginalRect.height;
    var xAnchors = AControl.Anchors;
    if (xAnchors.Left && xAnchors.Right) {
      W = xOriginal.width + xDeltaWidth;
    } else if (xAnchors.Right) {
      L = xOriginal.left + xDeltaWidth;
    } else if (!xAnchors.Left && AParent.OriginalRect.width > 0) {
      L = Math.round((xOriginal.left + xOriginal.width / 2) * AParent.Rect.width / AParent.OriginalRect.width - W / 2);
    }
    if (xAnchors.Top && xAnchors.Bottom) {
      H = xOriginal.height + xDeltaHeight;
    } else if (xAnchors.Bottom) {
      T = xOriginal.top + xDeltaHeight;
    } else if (!xAnchors.Top && AParent.OriginalRect.height > 0) {
      T = Math.round((xOriginal.top + xOriginal.height / 2) * AParent.Rect.height / AParent.OriginalRect.height - H / 2);
    }
  }
  var xRect;
  switch (AControl.Align) {
    case alTop:
      xRect = new Rect(xClient.left, xClient.top, xClient.width - xBorder, H);
      xClient.top += H;
      xClient.height -= H;
      break;
    case alBottom:
      xRect = new Rect(xClient.left, xClient.top + xClient.height - H - xBorder, xClient.width - xBorder, H);
      xClient.height -= H;
      break;
    case alLeft:
      xRect = new Rect(xClient.left, xClient.top, W, xClient.height - xBorder);
      xClient.left += W;
      xClient.width -= W;
      break;
    case alRight:
      xRect = new Rect(xClient.left + xClient.width - W - xBorder, xClient.top, W, xClient.height - xBorder);
      xClient.width -= W;
      break;
    case alClient:
      xRect = new Rect(xClient.left, xClient.top, xClient.width - xBorder, xClient.height - xBorder);
      break;
    default:
      xRect = new Rect(L, T, W, H);
  }
  AControl.SetRect(xRect);
  AControl.UpdateRects(xRect);
}

function KXCL_Release() {
  if (this.OwnedComps) {
    for (var i = 0; i < this.OwnedComps.length; i++) {
      if (this.OwnedComps[i].KXRelease) {
        this.OwnedComps[i].KXRelease();
      }
    }
  }
  // Old browsers leak elements that reference their handlers and owners: break the cycles.
  this.OwnedComps = [];
  this.IEEventHandlers = [];
  this.Owner = null;
}

function ReleaseKXCL() {
  if (!KXCLForm) {
    return;
  }
  if (KXCLForm.SizeTimer) {
    clearTimeout(KXCLForm.SizeTimer);
  }
  for (var i = 0; i < KXCLForm.OwnedComps.length; i++) {
    KXCLForm.OwnedComps[i].KXRelease();
  }
  KXCLForm = null;
}

function createKXLocker(AImage) {
  GKXLockerImage = AImage || "";
  return KXLockerElement(true);
}
