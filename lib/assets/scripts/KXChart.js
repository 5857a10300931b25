/* KXChart.js: script of the chart control. This server has no chart control, so the file only
   reserves its namespace; a developer who adds the control adds its functions here. */
var KXChart = window.KXChart || {};
