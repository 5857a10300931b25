/* Silverlight.js: the Silverlight helper script is not bundled with this server. This stand-in
   keeps the address answering and defines nothing; pages of this framework do not use it. */
if (window.console && window.console.info) {
  window.console.info("Silverlight.js: the Silverlight helper script is not bundled with this server.");
}
