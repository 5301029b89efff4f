// The page around the game: the field's size on the screen, a finger as the
// pointer, the End match, Pause and Full screen buttons, a hidden tab's
// hold, what the page says when the run ends or the display is lost, and
// the files kept for offline play. Replays are replay.js's.
// The game itself still sees a 640 x 480 window, a pointer and a keyboard.
'use strict';
(function () {
  // The browser's SDL listens for the page's unload only to feed a main
  // loop that this game does not use. The listener is deprecated (browsers
  // warn as soon as one is added) and keeps the page out of the
  // back/forward cache, so the window takes none, from before the game
  // loads.
  var listen = window.addEventListener;
  window.addEventListener = function (type) {
    if (type != 'unload')
      listen.apply(window, arguments);
  };

  var canvas = document.getElementById('canvas');
  var field = document.getElementById('field');
  var output = document.getElementById('output');
  var endbutton = document.getElementById('end');
  var fullbutton = document.getElementById('full');
  var pausebutton = document.getElementById('pause');

  // What the game prints goes to the page and to the console alike; what it
  // prints to standard error is an error in both.
  function print(text) {
    output.textContent += text + '\n';
    console.log(text);
  }
  function printerr(text) {
    output.textContent += text + '\n';
    console.error(text);
  }

  // The run has ended (runend.js): the canvas keeps its last frame, the page
  // says so, out of full screen so that its words show.
  var verdicts = {0: 'The match is over.', abort: 'The game stopped on an error.'};
  function ended(status, message) {
    running = false;
    clearInterval(showingpause);
    if (message)
      printerr(message);
    document.getElementById('help').hidden = true;
    document.getElementById('controls').hidden = true;
    document.getElementById('verdict').textContent = verdicts[status] || 'The game could not start.';
    document.getElementById('over').hidden = false;
    if (fullscreenelement())
      (document.exitFullscreen || document.webkitExitFullscreen).call(document);
    replays.end(status);
    // The focus was on a control now hidden: it goes to the first one the
    // end shows, where the keyboard finds it.
    if (!document.activeElement || !document.activeElement.getClientRects().length)
      document.querySelector('#over button, #share button:not([hidden])').focus();
  }

  window.Module = {
    canvas: canvas,
    // The context the page made as it loaded (index.html), for SDL.
    preinitializedWebGLContext: canvas.getContext('webgl'),
    print: print,
    printErr: printerr,
    // The game's SDL listens from here on: End match can reach it. The
    // game starts right after this, until its first pause; a replay is
    // handed over before.
    onRuntimeInitialized: function () {
      replays.start();
      running = true;
      endbutton.disabled = pausebutton.disabled = false;
      hold();
      showingpause = setInterval(showpause, 250);
      setTimeout(keepforoffline);
    }
  };
  var replays = pageReplays(window.Module);
  var running = false;
  var showingpause = null;
  watchRun(window.Module, ended);

  // Play again starts a match, whatever the last run played.
  document.getElementById('again').addEventListener('click', function () {
    location.assign(replays.base);
  });
  document.getElementById('reload').addEventListener('click', function () { location.reload(); });

  // The field's size: the largest 4:3 box that the page leaves it, with the
  // text above it or beside it, whichever leaves the larger box; where that
  // box holds 2x or more, the largest whole multiple that fits, so that
  // every field pixel is a square of screen pixels. In full screen, the
  // screen's largest box, centred. The field's corner is on a whole CSS
  // pixel, so that the row under a pointer is the row the game reads.
  function fullscreenelement() {
    return document.fullscreenElement || document.webkitFullscreenElement || null;
  }
  function largest(box) {
    return 4 * Math.floor(160 * Math.min(box.width / 640, box.height / 480));
  }
  function fitting(box) {
    var whole = Math.floor(Math.min(box.width / 640, box.height / 480));
    return whole >= 2 ? 640 * whole : largest(box);
  }
  var root = document.documentElement;
  function fit() {
    var full = fullscreenelement() === field;
    var beside = root.classList.contains('beside');
    var box = field.getBoundingClientRect();
    var width = largest(box);
    if (!full) {
      root.classList.toggle('beside', !beside);
      var other = field.getBoundingClientRect();
      if (fitting(other) > fitting(box)) {
        beside = !beside;
        box = other;
      } else {
        root.classList.toggle('beside', beside);
      }
      width = fitting(box);
    }
    var height = width * 3 / 4;
    var left = Math.round(box.left + (box.width - width) / 2) - box.left;
    var top = Math.round(box.top + (full || beside ? (box.height - height) / 2 : 0)) - box.top;
    // Beside the field, the text moves over by the room left on the
    // field's left, so that the two stand together in the middle.
    root.style.setProperty('--bar-shift', (beside && !full ? left : 0) + 'px');
    root.style.setProperty('--field-width', width + 'px');
    root.style.setProperty('--field-height', height + 'px');
    root.style.setProperty('--field-left', left + 'px');
    root.style.setProperty('--field-top', top + 'px');
    // Scaled by a whole factor, a field pixel stays sharp; by any other,
    // smoothing keeps rows and columns from doubling unevenly and, scaled
    // down, one-pixel lines from vanishing.
    root.classList.toggle('whole', width % 640 === 0);
  }
  // A change of the text's size (a line shown or hidden) is fitted in the
  // next frame: fitting may move the text, which would resize the field
  // again within the observer's own round.
  var queued = false;
  new ResizeObserver(function () {
    if (queued)
      return;
    queued = true;
    requestAnimationFrame(function () {
      queued = false;
      fit();
    });
  }).observe(field);
  window.addEventListener('resize', fit);
  fit();

  // A finger on the field moves the paddle by its height, as the pointer
  // does. The touch never reaches the game's SDL, which would take the
  // finger's position relative to the window for one relative to the page
  // and so misplace it on a scrolled page; the finger is handed on as a
  // pointer movement over the canvas instead, held inside the field's rows.
  var finger = null; // the touch that drives the paddle
  function touch(event) {
    if (event.cancelable)
      event.preventDefault();
    event.stopPropagation();
    var t = null;
    for (var i = 0; i < event.touches.length; i++)
      if (event.touches[i].identifier === finger)
        t = event.touches[i];
    if (!t && event.type !== 'touchend' && event.type !== 'touchcancel')
      t = event.touches[0] || null;
    finger = t ? t.identifier : null;
    if (!t)
      return;
    var r = canvas.getBoundingClientRect();
    // Half a field pixel inside the far edges.
    var x = Math.min(Math.max(t.clientX, r.left), r.right - r.width / 1280);
    var y = Math.min(Math.max(t.clientY, r.top), r.bottom - r.height / 960);
    var move = new MouseEvent('mousemove', {bubbles: true, cancelable: true, view: window});
    Object.defineProperties(move, {
      clientX: {value: x}, clientY: {value: y},
      pageX: {value: x + window.scrollX}, pageY: {value: y + window.scrollY}
    });
    canvas.dispatchEvent(move);
  }
  ['touchstart', 'touchmove', 'touchend', 'touchcancel'].forEach(function (type) {
    field.addEventListener(type, touch, {capture: true, passive: false});
  });
  field.addEventListener('contextmenu', function (event) { event.preventDefault(); });

  // End match presses Escape as a keyboard would: the game ends the run at
  // the end of the frame in which it reads the key.
  function escape(type) {
    var key = new KeyboardEvent(type, {key: 'Escape', code: 'Escape', bubbles: true, cancelable: true});
    Object.defineProperty(key, 'keyCode', {value: 27});
    document.dispatchEvent(key);
  }
  endbutton.addEventListener('click', function () {
    if (replays.playing()) {
      replays.stop();
      return;
    }
    escape('keydown');
    escape('keyup');
  });

  // Pause, in a match or a replay: the game waits at the end of its frame,
  // the last frame shown, until pressed again. P pauses a match too, in
  // the game, so the label follows the game's own state. (The exports are
  // called directly: ccall, while the game sleeps, would wait for the whole
  // run to end.)
  function showpause() {
    if (!running)
      return;
    var paused = Module._sparkrally_paused() !== 0;
    pausebutton.textContent = paused ? 'Resume' : 'Pause';
    document.getElementById('step').disabled = !paused;
  }
  pausebutton.addEventListener('click', function (event) {
    if (running) {
      Module._sparkrally_pause();
      showpause();
    }
    // Pressed by the pointer, it leaves Space to the replay's viewer.
    if (event.detail)
      pausebutton.blur();
  });
  // A hidden tab holds the match where it is, until the tab shows again.
  function hold() {
    if (running)
      Module._sparkrally_hold(document.hidden ? 1 : 0);
  }
  document.addEventListener('visibilitychange', hold);

  // The game's SDL takes every key on the page and keeps it from the
  // browser. Ahead of it, Tab stays with the browser to move the focus
  // between the controls (the game reads no Tab), and Enter and Space on a
  // focused button stay with the button, so the keyboard can press it.
  ['keydown', 'keyup', 'keypress'].forEach(function (type) {
    window.addEventListener(type, function (event) {
      if (event.key === 'Tab' || ((event.key === 'Enter' || event.key === ' ') &&
                                  event.target instanceof HTMLButtonElement))
        event.stopPropagation();
    }, true);
  });

  // Full screen shows the field alone, the pointer left free: a locked
  // pointer would turn its position into relative motion.
  var request = field.requestFullscreen || field.webkitRequestFullscreen;
  if (!request || !(document.fullscreenEnabled || document.webkitFullscreenEnabled))
    fullbutton.hidden = true;
  fullbutton.addEventListener('click', function () {
    var asked = request.call(field);
    if (asked && asked.catch)
      asked.catch(function (error) { printerr('Full screen was refused: ' + error.message); });
  });

  // A lost display: the game waits at its next swap for the browser to give
  // the display back; the page says so meanwhile.
  var lost = document.getElementById('lost');
  function showlost(shown) {
    lost.hidden = !shown;
    document.documentElement.classList.toggle('lost', shown);
  }
  canvas.addEventListener('webglcontextlost', function () { showlost(true); });
  canvas.addEventListener('webglcontextrestored', function () { showlost(false); });

  // After one visit the page plays with no network. The service worker
  // fetches the page's files again, so it starts once the game has: during
  // the first serve's pause, not while the game starts.
  function keepforoffline() {
    if ('serviceWorker' in navigator)
      navigator.serviceWorker.register('sw.js').catch(function (error) {
        console.error('Offline play is not available: ' + error.message);
      });
  }
})();
