/* KXTree.js: script of the tree view control. This server has no tree view control, so the file only
   reserves its namespace; a developer who adds the control adds its functions here. */
var KXTree = window.KXTree || {};
