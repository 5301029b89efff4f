// How a page that runs a program of this game tells that the run has ended,
// the same on every such page: window.runEnded resolves once, with the exit
// status, or with 'abort' when the run stopped on an error (an abort, an
// uncaught error or rejection, or a file that did not load).
//
//   watchRun(Module, function (status, message) { ... });
//
// The function is called once, when the run ends; message says what went
// wrong where the program could not say it itself (an error of the page's
// or a file that did not load; an abort prints its own line).
'use strict';
function watchRun(module, ended) {
  var over = false;
  var resolve;
  window.runEnded = new Promise(function (r) { resolve = r; });
  function end(status, message) {
    if (over)
      return;
    over = true;
    ended(status, message);
    resolve(status);
  }
  module.onExit = function (status) { end(status); };
  module.onAbort = function () { end('abort'); };
  // Errors of scripts and of files that do not load (which do not bubble,
  // hence the capture).
  window.addEventListener('error', function (event) {
    // A browser's note with no error behind it (a ResizeObserver loop, say)
    // stops nothing.
    if (event.target === window && !event.error)
      return;
    end('abort', event.message || 'Could not load ' + (event.target.src || event.target.href));
  }, true);
  window.addEventListener('unhandledrejection', function (event) {
    end('abort', String(event.reason));
  });
}
