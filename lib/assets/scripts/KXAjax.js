/* KXAjax.js: asynchronous callbacks. A control's browser event becomes a request to the session's
   callback address; the XML answer updates controls in place and carries scripts to run. One
   callback is in flight at a time; the rest wait in a queue. */

window.eventQueue = [];
window.lastEvent = null;
window.ChangedControls = "";   // comma-terminated names of controls the user changed
window.serverProblem = false;  // an empty failure answer: the page stops calling back
var GAjaxRequestCounter = 0;
var GKXTimers = {};

// Fields of the submit form that every callback post carries.
var KXCallbackFields = ["KX_Action", "KX_ActionParam", "KX_FormName", "KX_FormClass", "KX_width", "KX_height",
    "KX_TrackID_", "KX_SessionID_"];

function AjaxRequest(AMethod, AURL, ABody, AOnDone) {
  var xRequest = window.XMLHttpRequest ? new XMLHttpRequest() : new ActiveXObject("Microsoft.XMLHTTP");
  xRequest.open(AMethod, AURL, true);
  if (AMethod == "POST") {
    xRequest.setRequestHeader("Content-Type", "application/x-www-form-urlencoded");
  }
  xRequest.onreadystatechange = function () {
    if (xRequest.readyState == 4) {
      xRequest.onreadystatechange = function () {};
      AOnDone(xRequest);
    }
  };
  xRequest.send(ABody);
  return xRequest;
}

function KXEventModifiers(AEvent) {
  return (AEvent.altKey ? "ALT_MASK," : "") + (AEvent.ctrlKey ? "CTRL_MASK," : "") +
      (AEvent.metaKey ? "META_MASK," : "") + (AEvent.shiftKey ? "SHIFT_MASK" : "");
}

function KXEventParams(AEvent) {
  if (!AEvent) {
    return "";
  }
  var xExplorer = typeof GBrowserFamily != "undefined" && GBrowserFamily == "explorer";
  var x = xExplorer ? AEvent.offsetX : AEvent.layerX;
  var y = xExplorer ? AEvent.offsetY : AEvent.layerY;
  switch (AEvent.type) {
    case "click":
    case "dblclick":
    case "mousedown":
    case "mouseup":
      return "&x=" + x + "&y=" + y + "&which=" + (AEvent.which !== undefined ? AEvent.which : AEvent.button) +
          "&modifiers=" + KXEventModifiers(AEvent);
    case "keydown":
    case "keypress":
    case "keyup":
      return "&x=" + x + "&y=" + y + "&which=" + (AEvent.keyCode || AEvent.which || 0) +
          "&modifiers=" + KXEventModifiers(AEvent);
    case "mousemove":
    case "mouseout":
    case "mouseover":
      return "&x=" + x + "&y=" + y;
    default:
      return "";
  }
}

function processAjaxEvent(AEvent, ASender, ACallback, ADirectSend, ASendControl, AAppend) {
  executeAjaxEvent(KXEventParams(AEvent || window.event), ASender, ACallback, ADirectSend, ASendControl, AAppend);
  return true;
}

function executeAjaxEvent(AParams, ASender, ACallback, ADirectSend, ASendControl, AAppend) {
  if (window.serverProblem) {
    return;
  }
  var xCall = { Params: AParams || "", Sender: ASender || null, Callback: ACallback, SendControl: ASendControl,
      Append: AAppend };
  if (window.eventProcessing) {
    window.eventQueue.push(xCall);
    return;
  }
  window.eventProcessing = true;
  if (ADirectSend) {
    SendRequest(xCall);
  } else {
    setTimeout(function () {
      SendRequest(xCall);
    }, 10);
  }
}

function KXCallbackURL(ACallback, AParams) {
  return GURLBase + "/callback" + "/" + GTrackID + "/" + GAppID + "?callback=" + encodeURIComponent(ACallback) +
      AParams;
}

function KXSenderName(ASender) {
  return ASender ? (ASender.name || ASender.id || "") : "";
}

function SendRequest(ACall) {
  // Repeats of one callback (mouse moves) that piled up while it was in flight: only the latest counts.
  while (!ACall.Append && window.eventQueue.length > 0 && window.lastEvent &&
         window.lastEvent.Callback == ACall.Callback) {
    ACall = window.eventQueue.shift();
  }
  window.lastEvent = ACall;
  if (ACall.Sender && ACall.Sender.id) {
    AddChangedControl(ACall.Sender.id);
  }
  if (window.ChangedControls) {
    SendPostRequest(ACall);
    return;
  }
  var xURL = KXCallbackURL(ACall.Callback, ACall.Params);
  if (ACall.SendControl && ACall.Sender) {
    xURL += "&" + encodeURIComponent(KXSenderName(ACall.Sender)) + "=" + encodeURIComponent(ACall.Sender.value);
  }
  GAjaxRequestCounter++;
  xURL += "&AjaxRequestUniqueId=" + new Date().getTime() + GAjaxRequestCounter;
  AjaxRequest("GET", xURL, null, KXCallbackDone);
}

function KXIsChanged(AName) {
  return ("," + window.ChangedControls).indexOf("," + AName + ",") >= 0;
}

function KXIsCallbackField(AName) {
  for (var i = 0; i < KXCallbackFields.length; i++) {
    if (KXCallbackFields[i] == AName) {
      return true;
    }
  }
  return false;
}

// A copy of the submit form holding the protocol fields and the changed controls' fields, filled
// with the current values as a submit would fill them.
function PrepareSubmitter(ASenderName) {
  var xClone = getSubmitForm().cloneNode(true);
  var i;
  for (i = xClone.childNodes.length - 1; i >= 0; i--) {
    var xChild = xClone.childNodes[i];
    if (xChild.nodeType == 1 && xChild.tagName.toLowerCase() != "input") {
      xClone.removeChild(xChild);
    }
  }
  var xInputs = xClone.getElementsByTagName("input");
  for (i = xInputs.length - 1; i >= 0; i--) {
    var xInput = xInputs[i];
    if (!KXIsCallbackField(xInput.name) && !KXIsChanged(xInput.name)) {
      xInput.parentNode.removeChild(xInput);
    } else if (!KXIsProtocolField(xInput.name)) {
      var xValue = KXInputValue(xInput.name);
      if (xValue !== null) {
        xInput.value = xValue;
      }
    }
  }
  for (i = 0; i < xInputs.length; i++) {
    if (xInputs[i].name == "KX_Action") {
      xInputs[i].value = ASenderName;
    }
  }
  return xClone;
}

function KXEncodeForm(AForm) {
  var xPairs = [];
  var xInputs = AForm.getElementsByTagName("input");
  for (var i = 0; i < xInputs.length; i++) {
    var xInput = xInputs[i];
    var xType = (xInput.type || "").toLowerCase();
    if (!xInput.name || xInput.disabled || ((xType == "checkbox" || xType == "radio") && !xInput.checked)) {
      continue;
    }
    xPairs.push(encodeURIComponent(xInput.name) + "=" + encodeURIComponent(xInput.value));
  }
  return xPairs.join("&");
}

function SendPostRequest(ACall) {
  var xSubmitter = PrepareSubmitter(KXSenderName(ACall.Sender));
  window.ChangedControls = "";
  if (typeof PreAsyncScript != "undefined" && PreAsyncScript) {
    PreAsyncProgressScript();
  }
  AjaxRequest("POST", KXCallbackURL(ACall.Callback, ACall.Params), KXEncodeForm(xSubmitter), KXCallbackDone);
}

function KXCallbackDone(ARequest) {
  if (ARequest.status == 200) {
    try {
      processAjaxResponse(KXResponseDocument(ARequest));
    } finally {
      if (typeof PostAsyncScript != "undefined" && PostAsyncScript) {
        PostAsyncProgressScript();
      }
      KXNextCallback();
    }
    return;
  }
  logMessage("callback failed with status " + ARequest.status);
  if (!ARequest.responseText) {
    window.serverProblem = true;
    window.eventQueue = [];
  }
  KXNextCallback();
}

// The next queued callback keeps the page busy: clearing the flag first would let a new event
// overtake the queue.
function KXNextCallback() {
  if (window.eventQueue.length > 0 && !window.serverProblem) {
    SendRequest(window.eventQueue.shift());
  } else {
    window.eventProcessing = false;
  }
}

function KXResponseDocument(ARequest) {
  if (ARequest.responseXML && ARequest.responseXML.documentElement) {
    return ARequest.responseXML;
  }
  if (window.DOMParser) {
    return new DOMParser().parseFromString(ARequest.responseText, "text/xml");
  }
  var xDocument = new ActiveXObject("Microsoft.XMLDOM");
  xDocument.async = false;
  xDocument.loadXML(ARequest.responseText);
  return xDocument;
}

function OnControlContentChange(AEvent) {
  var xEvent = AEvent || window.event;
  var xTarget = xEvent.target || xEvent.srcElement;
  var xElement = xTarget;
  while (xElement && !xElement.id) {
    xElement = xElement.parentNode;
  }
  if (!xElement) {
    return true;
  }
  var xName = xElement.name || xElement.id;
  AddChangedControl(xName);
  if (xTarget.type == "radio") {
    AddChangedControl(xName + "_INPUT");
  }
  return true;
}

function AddChangedControl(AName) {
  if (AName && !KXIsChanged(AName)) {
    window.ChangedControls += AName + ",";
  }
}

function KXNodeText(ANode) {
  var xText = "";
  for (var i = 0; i < ANode.childNodes.length; i++) {
    var xChild = ANode.childNodes[i];
    if (xChild.nodeType == 3 || xChild.nodeType == 4) {
      xText += xChild.nodeValue;
    }
  }
  return xText;
}

function KXElementChildren(ANode) {
  var xResult = [];
  if (ANode) {
    for (var i = 0; i < ANode.childNodes.length; i++) {
      if (ANode.childNodes[i].nodeType == 1) {
        xResult.push(ANode.childNodes[i]);
      }
    }
  }
  return xResult;
}

function KXFirstChildNamed(ANode, AName) {
  var xChildren = KXElementChildren(ANode);
  for (var i = 0; i < xChildren.length; i++) {
    if (xChildren[i].nodeName.toLowerCase() == AName) {
      return xChildren[i];
    }
  }
  return null;
}

// Indirect eval runs the answer's scripts in the page's global scope, as a script tag would.
var KXGlobalEval = eval;

function processAjaxResponse(ADocument) {
  if (!ADocument) {
    return;
  }
  var xResponses = ADocument.getElementsByTagName("response");
  if (xResponses.length != 1) {
    return;
  }
  var xResponse = xResponses[0];
  var xSubmit = KXFirstChildNamed(xResponse, "submit");
  if (xSubmit) {
    var xForm = getSubmitForm();
    if (xForm) {
      xForm.action = KXNodeText(xSubmit);
    }
  }
  var xUpdates = KXElementChildren(KXFirstChildNamed(xResponse, "update"));
  var i;
  for (i = 0; i < xUpdates.length; i++) {
    processNodeElement(xUpdates[i]);
  }
  var xScripts = KXElementChildren(KXFirstChildNamed(xResponse, "execute"));
  for (i = 0; i < xScripts.length; i++) {
    KXGlobalEval(KXNodeText(xScripts[i]));
  }
}

// The form's element carries its hidden fields: the next post must send the values the handler set.
function KXApplyHiddenFields(ANode) {
  var xForm = getSubmitForm();
  var xFields = KXElementChildren(ANode);
  for (var i = 0; i < xFields.length; i++) {
    if (xFields[i].nodeName.toLowerCase() == "hiddenfield" && xForm) {
      KXSetField(xForm, xFields[i].getAttribute("id"), KXNodeText(xFields[i]));
    }
  }
}

function KXRebuildItems(AElement, AType, AItems) {
  var i;
  if (AType == "KXRADIOGROUP") {
    AElement.innerHTML = "";
    for (i = 0; i < AItems.length; i++) {
      var xRadio = document.createElement("input");
      xRadio.type = "radio";
      xRadio.name = AElement.id + "_INPUT";
      xRadio.value = AItems[i].getAttribute("value") || "";
      xRadio.checked = AItems[i].getAttribute("selected") == "true";
      var xLabel = document.createElement("label");
      xLabel.appendChild(xRadio);
      xLabel.appendChild(document.createTextNode(KXNodeText(AItems[i])));
      AElement.appendChild(xLabel);
      AElement.appendChild(document.createElement("br"));
    }
    return;
  }
  AElement.options.length = 0;
  for (i = 0; i < AItems.length; i++) {
    var xOption = new Option(KXNodeText(AItems[i]), AItems[i].getAttribute("value") || "");
    xOption.selected = AItems[i].getAttribute("selected") == "true";
    AElement.options[AElement.options.length] = xOption;
  }
}

function processNodeElement(ANode) {
  var xId = (ANode.getAttribute("id") || "").toUpperCase();
  var xType = (ANode.getAttribute("type") || "").toUpperCase();
  if (xType == "KXFORM") {
    KXApplyHiddenFields(ANode);
    return;
  }
  var xElement = FindElem(xId);
  if (!xElement) {
    return;
  }
  var xProperties = KXElementChildren(ANode);
  for (var i = 0; i < xProperties.length; i++) {
    var xProperty = xProperties[i];
    var xValue = KXNodeText(xProperty);
    var xTarget;
    switch (xProperty.nodeName.toLowerCase()) {
      case "text":
      case "caption":
        if (xType == "KXCHECKBOX" || xType == "KXRADIOBUTTON") {
          xTarget = LocateElementById(xId + (xType == "KXCHECKBOX" ? "_CHKBCAPTION" : "_CAPTRADIOBUTTON"));
          if (xTarget) {
            xTarget.innerHTML = xValue;
          }
        } else {
          xElement.value = xValue;
        }
        break;
      case "innerhtml":
        if (!KXIsChanged(xId) && xElement.innerHTML != xValue) {
          xElement.innerHTML = xValue;
        }
        break;
      case "textcontent":
        if (!KXIsChanged(xId)) {
          if (xElement.textContent !== undefined) {
            xElement.textContent = xValue;
          } else {
            xElement.innerText = xValue;
          }
        }
        break;
      case "css":
        xElement.className = xValue;
        break;
      case "style":
        var xAttributes = KXElementChildren(xProperty);
        for (var k = 0; k < xAttributes.length; k++) {
          try {
            xElement.style[xAttributes[k].getAttribute("name")] = KXNodeText(xAttributes[k]);
          } catch (e) {
            // old browsers throw on values they do not know; the rest still applies
          }
        }
        break;
      case "enabled":
        xTarget = xType == "KXCHECKBOX" ? LocateElementById(xId + "_CHECKBOX") : xElement;
        if (xTarget) {
          xTarget.disabled = xValue.toLowerCase() != "true";
        }
        break;
      case "readonly":
        xElement.readOnly = xValue.toLowerCase() == "true";
        break;
      case "maxlength":
        var xLength = parseInt(xValue, 10);
        xElement.maxLength = xLength == 0 ? 2147483647 : (xLength == -1 ? 0 : xLength);
        break;
      case "src":
        xElement.src = xValue;
        break;
      case "checked":
        xTarget = LocateElementById(xId + (xType == "KXCHECKBOX" ? "_CHECKBOX" : "_INPUT"));
        if (xTarget && (xType == "KXCHECKBOX" || xType == "KXRADIOBUTTON")) {
          xTarget.checked = xValue.toLowerCase() == "true";
        }
        break;
      case "select_type":
        if (xType == "KXLISTBOX") {
          xElement.multiple = xValue != "select-one";
        }
        break;
      case "items":
        if (xType == "KXLISTBOX" || xType == "KXCOMBOBOX" || xType == "KXRADIOGROUP") {
          KXRebuildItems(xElement, xType, KXElementChildren(xProperty));
        }
        break;
      default:
        // hint and properties this page has no use for (colour, ...) are not applied
        break;
    }
  }
}

function KXTimer(AEnabled, AInterval, ACallback) {
  if (GKXTimers[ACallback]) {
    clearInterval(GKXTimers[ACallback]);
    delete GKXTimers[ACallback];
  }
  if (AEnabled) {
    GKXTimers[ACallback] = setInterval(function () {
      executeAjaxEvent("", null, ACallback, true);
    }, AInterval);
  }
}

function setObjectDisabled(AId, ADisabled) {
  var xElement = FindElem(AId);
  if (xElement) {
    xElement.disabled = ADisabled;
  }
}

function setObjectReadOnly(AId, AReadOnly) {
  var xElement = FindElem(AId);
  if (xElement) {
    xElement.readOnly = AReadOnly;
  }
}

function setObjectVisibility(AId, AVisible) {
  SetVisibility(AId, AVisible);
}

function moveObjectTo(AId, ALeft, ATop) {
  var xElement = LocateElementById(AId);
  if (xElement) {
    xElement.style.left = ALeft + "px";
    xElement.style.top = ATop + "px";
  }
}

function addItemListBox(AId, AText, AValue) {
  var xList = FindElem(AId);
  if (xList && xList.options) {
    xList.options[xList.options.length] = new Option(AText, AValue);
  }
}

function checkBoxClick(AId) {
  var xBox = LocateElementById(AId + "_CHECKBOX");
  if (xBox) {
    xBox.checked = !xBox.checked;
  }
  OnControlContentChange({ target: xBox || LocateElementById(AId) });
}
