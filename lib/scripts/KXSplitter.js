/* KXSplitter.js: script of the splitter control. This server has no splitter control, so the file only
   reserves its namespace; a developer who adds the control adds its functions here. */
var KXSplitter = window.KXSplitter || {};
