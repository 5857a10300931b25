/* Rico.js: the Rico library is not bundled with this server. This stand-in keeps the address
   answering and defines nothing; pages of this framework do not use Rico. */
if (window.console && window.console.info) {
  window.console.info("Rico.js: the Rico library is not bundled with this server.");
}
