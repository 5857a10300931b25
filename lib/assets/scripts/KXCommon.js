/* KXCommon.js: the submit machinery (copying the visible fields into the hidden submit form and
   posting it) and small helpers the controls' scripts call. */

var GSubmitting = false;        // a submit is being built (or a resize report is on its way)
var ValidClick = true;          // false after a click handler refused the click
window.eventProcessing = false; // one event at a time: a submit or a callback

// Fields of the submit form that belong to the page protocol rather than to a control.
var KXProtocolFields = ["KX_Action", "KX_ActionParam", "KX_FormName", "KX_FormClass", "KX_width", "KX_height"];

function KXIsProtocolField(AName) {
  for (var i = 0; i < KXProtocolFields.length; i++) {
    if (KXProtocolFields[i] == AName) {
      return true;
    }
  }
  return false;
}

function topmost() {
  try {
    if (window.parent && window.parent != window && window.parent.topmost) {
      return window.parent.topmost();
    }
  } catch (e) {
    // a parent of another origin: this window is the top of the application
  }
  return window;
}

function delegate(AObject, AMethod) {
  return function () {
    return AMethod.apply(AObject, arguments);
  };
}

// The value a visible element posts, or null when it posts nothing (a button, an unchecked radio).
function ProcessElement(AElement) {
  var xType = (AElement.type || "").toLowerCase();
  var i;
  if (xType == "select-one") {
    return AElement.selectedIndex >= 0 ? AElement.options[AElement.selectedIndex].value : "-1";
  }
  if (xType == "select-multiple") {
    var xFirst = null;
    var xValues = "";
    for (i = 0; i < AElement.options.length; i++) {
      if (AElement.options[i].selected) {
        if (xFirst === null) {
          xFirst = AElement.options[i].value + ",";
        }
        xValues += AElement.options[i].value + ",";
      }
    }
    return xFirst === null ? "-1" : xFirst + xValues;
  }
  if (xType == "checkbox") {
    return AElement.checked ? "on" : "off";
  }
  if (xType == "radio") {
    return AElement.checked ? AElement.value : null;
  }
  if (xType == "button" || xType == "submit" || xType == "reset" || xType == "image") {
    return null;
  }
  return AElement.value;
}

// The value the visible element(s) of that name give, null when none gives one.
function KXInputValue(AName) {
  var xElements = LocateInputElement(AName);
  for (var i = 0; i < xElements.length; i++) {
    var xValue = ProcessElement(xElements[i]);
    if (xValue !== null) {
      return xValue;
    }
  }
  return null;
}

function KXSetField(AForm, AName, AValue) {
  var xField = AForm.elements[AName];
  if (xField) {
    xField.value = AValue;
  }
}

function SubmitClickConfirm(AName, AParam, AValidate, AConfirmation) {
  if (IsLocked() || window.eventProcessing) {
    return false;
  }
  if (AConfirmation && GSubmitting) {
    return false;
  }
  window.eventProcessing = true;
  if (AConfirmation && !window.confirm(AConfirmation)) {
    window.eventProcessing = false;
    return true;
  }
  if (GSubmitting) {
    // SubmitClick would post nothing: do not leave the page locked and deaf to further events.
    window.eventProcessing = false;
    return true;
  }
  if (GActivateLock) {
    ActivateLock();
  }
  return SubmitClick(AName, AParam, AValidate);
}

function SubmitClick(AName, AParam, AValidate) {
  if (GSubmitting) {
    return true;
  }
  GSubmitting = true;
  var xFocused = document.activeElement;
  GActiveControl = xFocused && xFocused.id ? xFocused.id : null;
  var xForm = getSubmitForm();
  var i;
  if (!xForm) {
    // the partial-update frame has not loaded yet: nothing to post, and the page must stay usable
    GSubmitting = false;
    window.eventProcessing = false;
    ReleaseLock();
    return true;
  }
  // Fields of controls no longer on the page would post stale values: drop them.
  for (i = xForm.elements.length - 1; i >= 0; i--) {
    var xOwn = xForm.elements[i];
    if ((xOwn.type || "").toLowerCase() != "hidden" && !KXIsProtocolField(xOwn.name) &&
        LocateInputElement(xOwn.name).length == 0) {
      xOwn.parentNode.removeChild(xOwn);
    }
  }
  for (i = 0; i < xForm.elements.length; i++) {
    var xField = xForm.elements[i];
    if (xField.name && !KXIsProtocolField(xField.name)) {
      var xValue = KXInputValue(xField.name);
      if (xValue !== null) {
        xField.value = xValue;
      }
    }
  }
  if (AValidate && typeof Validate == "function" && !Validate()) {
    GSubmitting = false;
    window.eventProcessing = false;
    return true;
  }
  KXSetField(xForm, "KX_Action", AName);
  KXSetField(xForm, "KX_ActionParam", AParam);
  if (typeof PreScript != "undefined" && PreScript) {
    PreProgressScript();
  }
  xForm.submit();
  GSubmitting = false;
  window.eventProcessing = false;
  return true;
}

function CheckReturnKey(AKey, AName, AValidate) {
  if (AKey == 13) {
    SubmitClick(AName, "", AValidate);
    return false;
  }
  return true;
}

function Status(AText) {
  window.status = AText;
  return true;
}

function LoadURL(AURL) {
  topmost().location.href = AURL;
}

function NewWindow(AURL, AName, AFeatures) {
  var xWindow = window.open(AURL, AName || "_blank", AFeatures || "");
  if (xWindow && xWindow.focus) {
    xWindow.focus();
  }
  return xWindow;
}

function FindFocus(AName) {
  return FindElem(AName);
}

function layerWrite(AId, AHtml) {
  var xElement = LocateElementById(AId);
  if (xElement) {
    xElement.innerHTML = AHtml;
  }
}

function layerWriteAppend(AId, AHtml) {
  var xElement = LocateElementById(AId);
  if (xElement) {
    xElement.innerHTML += AHtml;
  }
}

function SelectRadioButton(AId) {
  var xRadio = LocateElementById(AId);
  if (xRadio) {
    xRadio.checked = true;
  }
  return true;
}

// A check box drawn as a caption beside a real box "<id>_CHECKBOX": clicking the caption toggles it.
function CoolCheckBoxToggle(AId) {
  var xBox = LocateElementById(AId + "_CHECKBOX");
  if (xBox && !xBox.disabled) {
    xBox.checked = !xBox.checked;
  }
  return true;
}

// hh:mm or hh:mm:ss, 24-hour; an empty field is allowed (emptiness is the required check's business).
function ValidateTimeEdit(AElement) {
  var xText = AElement.value;
  if (xText === "") {
    return true;
  }
  var xMatch = /^(\d{1,2}):(\d{2})(?::(\d{2}))?$/.exec(xText);
  var xValid = xMatch !== null && parseInt(xMatch[1], 10) < 24 && parseInt(xMatch[2], 10) < 60 &&
      (xMatch[3] === undefined || parseInt(xMatch[3], 10) < 60);
  if (!xValid && AElement.focus) {
    AElement.focus();
  }
  return xValid;
}
