/* KXOrderedListBox.js: script of the ordered list box control. This server has no ordered list box control, so the file only
   reserves its namespace; a developer who adds the control adds its functions here. */
var KXOrderedListBox = window.KXOrderedListBox || {};
