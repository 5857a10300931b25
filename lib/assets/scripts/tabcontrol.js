/* tabcontrol.js: script of the tab control. This server has no tab control, so the file only
   reserves its namespace; a developer who adds the control adds its functions here. */
var KXTabControl = window.KXTabControl || {};
