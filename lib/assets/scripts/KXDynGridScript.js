/* KXDynGridScript.js: script of the dynamic grid control. This server has no dynamic grid control, so the file only
   reserves its namespace; a developer who adds the control adds its functions here. */
var KXDynGrid = window.KXDynGrid || {};
