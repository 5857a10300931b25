/* KXMenu.js: script of the menu control. This server has no menu control, so the file only
   reserves its namespace; a developer who adds the control adds its functions here. */
var KXMenu = window.KXMenu || {};
