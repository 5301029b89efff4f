// Replays on the page: the replay that the address names (a link's, or a
// file opened here) handed to the game before it starts, the viewer's
// buttons and keys while it plays, and the match's replay offered as a file
// and as a link once the run has ended. The game's side is replay.cpp.
//
//   var replays = pageReplays(Module);
//   replays.start()         from Module.onRuntimeInitialized, before main
//   replays.playing()       a replay is playing (End ends it: replays.stop())
//   replays.end(status)     once the run has ended; the verdict's words
//   replays.base            the page's address without its replay
//
// window.replayResult is a promise of the run's result line ("P-E FRAMES
// DIGEST VERDICT"), or null when the run stopped on an error.
'use strict';
function pageReplays(module) {
  var begun = performance.now();
  // Longer links are cut or refused by mail, chat and some browsers: past
  // this the page offers the file instead.
  var LINK_LIMIT = 32000;
  // A replay opened from a file too long for a link waits here, for the
  // reload that plays it.
  var KEPT = 'sparkrally-replay';
  var base = location.href.split('#')[0];

  function $(id) { return document.getElementById(id); }
  // The exports are called directly: ccall, while the game sleeps, would
  // wait for the whole run to end.
  function call(name) {
    return module['_' + name].apply(null, Array.prototype.slice.call(arguments, 1));
  }

  // base64url, as in the address: the file's bytes, unpadded.
  function encode(bytes) {
    var text = '';
    for (var i = 0; i < bytes.length; i += 0x8000)
      text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return btoa(text).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
  }
  function decode(text) {
    if (!/^[A-Za-z0-9_-]*$/.test(text) || text.length % 4 === 1)
      throw new Error('the link is damaged (it is not base64url)');
    var padded = text + '===='.slice(text.length % 4 || 4);
    var binary = atob(padded.replace(/-/g, '+').replace(/_/g, '/'));
    var bytes = new Uint8Array(binary.length);
    for (var i = 0; i < binary.length; i++)
      bytes[i] = binary.charCodeAt(i);
    return bytes;
  }

  // What the address asks for: #replay=DATA plays a replay, #verify=DATA
  // verifies it unseen, #open-replay plays the file kept for this tab. The
  // text is decoded once the game has said how large a file it takes.
  function asked() {
    var link = /^#(replay|verify)=(.*)$/.exec(location.hash);
    var kept = location.hash === '#open-replay';
    if (!link && !kept)
      return null;
    var want = {verify: !!link && link[1] === 'verify'};
    try {
      want.text = link ? link[2] : sessionStorage.getItem(KEPT);
      if (want.text === null)
        throw new Error('the file opened is no longer kept in this tab; open it again');
    } catch (error) {
      want.error = error.message;
    }
    return want;
  }

  var want = asked();
  var loaded = null; // the replay's bytes, once the game took them
  var running = false;
  var limit = 0; // the largest file the game's reader takes, in bytes
  var started; // resolves once the game is there to ask
  var ready = new Promise(function (resolve) { started = resolve; });
  var finished;
  window.replayResult = new Promise(function (resolve) { finished = resolve; });

  // Why a replay cannot be played, on the page.
  function say(reason) {
    var refused = $('refused');
    refused.textContent = 'This replay cannot be played: ' + reason;
    refused.hidden = false;
  }
  // The address's replay forgotten, so that a reload plays a match.
  function forget() {
    history.replaceState(null, '', base);
    try {
      sessionStorage.removeItem(KEPT);
    } catch (error) { /* nothing kept, nothing to forget */ }
  }
  // Refused: the page says why, forgets the replay, and a match starts.
  function refuse(reason) {
    say(reason);
    want = null;
    forget();
  }
  // The reader's own words for a file over its limit.
  function toolarge(size) {
    return size + ' bytes, more than the ' + limit + ' a replay may have';
  }

  // The replay's bytes copied into the heap for the game's reader: null when
  // it reads them, else why not.
  function handover(bytes, verify) {
    var size = bytes.length;
    var at = size ? module._malloc(size) : 0;
    if (size && !at)
      return 'there is no memory left for its ' + size + ' bytes';
    // The heap's view as it is now: allocating may have grown the heap,
    // which leaves views of the old one empty.
    module.HEAPU8.set(bytes, at);
    var reason = module.ccall('sparkrally_load_replay', 'string', ['number', 'number', 'number'],
                              [at, size, verify ? 1 : 0]);
    module._free(at);
    return reason;
  }

  function start() {
    running = true;
    limit = call('sparkrally_replay_limit');
    started();
    if (!want)
      return;
    if (want.error)
      return refuse(want.error);
    // Four characters for every three bytes, counted before any is decoded.
    var size = Math.floor(want.text.length * 3 / 4);
    if (size > limit)
      return refuse(toolarge(size));
    var bytes;
    try {
      bytes = decode(want.text);
    } catch (error) {
      return refuse(error.message);
    }
    var reason = handover(bytes, want.verify);
    if (reason)
      return refuse(reason);
    loaded = bytes;
    // How long a replay takes to start, for the tests to report: from this
    // script's start to the replay handed over, to the game set up and in
    // its first sleep (the serve's pause, before the first frame), and to
    // the first frame shown.
    var times = window.replayTimes = {script: begun, loaded: performance.now()};
    setTimeout(function () { times.started = performance.now(); });
    (function first() {
      if (!running || call('sparkrally_frame') >= 1)
        times.firstFrame = performance.now();
      else
        setTimeout(first, 1);
    })();
    showviewer();
  }

  // The viewer: Pause (page.js), Step while paused, the speed from 1/4x to
  // 8x, End; and the same from the keyboard.
  var SPEEDS = {0.25: '\u00bc\u00d7', 0.5: '\u00bd\u00d7'};
  function showspeed() {
    var speed = call('sparkrally_current_speed');
    $('speed').textContent = SPEEDS[speed] || speed + '\u00d7';
    $('slower').disabled = speed <= 0.25;
    $('faster').disabled = speed >= 8;
  }
  var actions = {
    step: function () {
      if (call('sparkrally_paused'))
        call('sparkrally_step');
    },
    slower: function () {
      call('sparkrally_speed', call('sparkrally_current_speed') / 2);
      showspeed();
    },
    faster: function () {
      call('sparkrally_speed', call('sparkrally_current_speed') * 2);
      showspeed();
    },
    end: function () { call('sparkrally_end'); }
  };
  var KEYS = {' ': 'pause', 'ArrowRight': 'step', '+': 'faster', '=': 'faster', '-': 'slower',
              'Escape': 'end'};
  function showviewer() {
    document.documentElement.classList.add('replaying');
    $('help').hidden = true;
    $('watching').hidden = want.verify;
    $('end').textContent = 'End replay';
    ['step', 'slower', 'faster'].forEach(function (id) {
      $(id).addEventListener('click', function (event) {
        if (running)
          actions[id]();
        // A button pressed by the pointer leaves the keys to the viewer.
        if (event.detail)
          event.currentTarget.blur();
      });
    });
    showspeed();
    // Ahead of the game's SDL, which would read some of these keys by
    // other codes: the viewer's keys go to the viewer alone. Enter and
    // Space on a focused button press the button.
    ['keydown', 'keyup', 'keypress'].forEach(function (type) {
      window.addEventListener(type, function (event) {
        var name = KEYS[event.key];
        var target = event.target;
        if (!name || !running || target instanceof HTMLInputElement ||
            (event.key === ' ' && target instanceof HTMLButtonElement))
          return;
        event.preventDefault();
        event.stopPropagation();
        if (type !== 'keydown')
          return;
        if (name === 'pause')
          $('pause').click();
        else
          actions[name]();
      }, true);
    });
  }

  // Opening a replay file, by the button or by dropping it on the field, or
  // the run's own by Watch replay at its end: the page starts again with
  // it, in the address when it makes a short enough link, else kept in the
  // tab's storage. A file over the reader's limit is refused unread, and
  // one the tab cannot keep is refused too: the page goes on as it was.
  var leaving = false;
  function open(file) {
    ready.then(function () {
      if (file.size > limit)
        return say(toolarge(file.size));
      return file.arrayBuffer().then(function (buffer) { watch(new Uint8Array(buffer)); });
    }).catch(function (error) {
      say('the file could not be opened: ' + error.message);
    });
  }
  function watch(bytes) {
    var text = encode(bytes);
    var hash = 'replay=' + text;
    if (base.length + 1 + hash.length > LINK_LIMIT) {
      try {
        sessionStorage.setItem(KEPT, text);
      } catch (error) {
        return say('this tab cannot keep a file of ' + bytes.length + ' bytes (' +
                   error.message + ')');
      }
      hash = 'open-replay';
    }
    leaving = true;
    location.hash = hash;
    location.reload();
  }
  $('open').addEventListener('click', function () { $('file').click(); });
  $('file').addEventListener('change', function () {
    if (this.files.length)
      open(this.files[0]);
  });
  var field = $('field');
  field.addEventListener('dragover', function (event) {
    if (Array.prototype.indexOf.call(event.dataTransfer.types, 'Files') >= 0)
      event.preventDefault();
  });
  field.addEventListener('drop', function (event) {
    event.preventDefault();
    if (event.dataTransfer.files.length)
      open(event.dataTransfer.files[0]);
  });
  // A link to a replay pasted into this page's address: the page starts
  // with it.
  window.addEventListener('hashchange', function () {
    if (!leaving && /^#(replay=|verify=|open-replay$)/.test(location.hash))
      location.reload();
  });

  // The run's end: the result in words, and its replay to keep or share.
  function saying(result) {
    var f = result.split(' ');
    var score = f[0].replace('-', '\u2013');
    var verdict = f[3] || '';
    if (verdict === 'verified')
      return 'Replay verified: ' + score + ' after ' + f[1] + ' frames.';
    if (verdict === 'incomplete')
      return 'The replay file is incomplete: played to frame ' + f[1] + '.';
    if (verdict.indexOf('drifted:') === 0)
      return 'This replay drifted from frame ' + verdict.slice(8) +
             ': it was recorded by a different game.';
    return 'Replay ended.';
  }
  function stamp(date) {
    function two(n) { return (n < 10 ? '0' : '') + n; }
    return '' + date.getFullYear() + two(date.getMonth() + 1) + two(date.getDate()) + '-' +
           two(date.getHours()) + two(date.getMinutes()) + two(date.getSeconds());
  }
  function share(bytes) {
    var name = 'sparkrally-' + stamp(new Date()) + '.sparkrally';
    $('watch').addEventListener('click', function () { watch(bytes); });
    $('save').addEventListener('click', function () {
      var a = document.createElement('a');
      a.href = URL.createObjectURL(new Blob([bytes], {type: 'application/octet-stream'}));
      a.download = name;
      document.body.appendChild(a);
      a.click();
      a.remove();
      setTimeout(function () { URL.revokeObjectURL(a.href); }, 60000);
    });
    // The link's length is counted before it is made: a long replay's
    // would only take memory to be refused.
    var length = base.length + 8 + Math.ceil(bytes.length * 4 / 3);
    var said = $('shared');
    if (length > LINK_LIMIT) {
      $('copy').hidden = $('link').hidden = true;
      said.textContent = 'A link to this replay would be ' + length +
                         ' characters long, too long to share: save the file instead.';
    } else {
      var link = base + '#replay=' + encode(bytes);
      $('link').value = link;
      $('copy').addEventListener('click', function () {
        $('link').select();
        var copied = navigator.clipboard ? navigator.clipboard.writeText(link)
                                         : Promise.reject(new Error('no clipboard here'));
        copied.then(function () {
          said.textContent = 'Link copied.';
        }, function (error) {
          said.textContent = 'The link could not be copied (' + error.message +
                             '): copy it from the field.';
        });
      });
    }
    $('share').hidden = false;
  }

  function end(status) {
    running = false;
    // A replay plays once, whether it ended or stopped on an error: a
    // reload plays a match.
    if (want)
      forget();
    var result = status === 'abort' ? null : module.replayResult || null;
    finished(result);
    if (status !== 0 || !result)
      return;
    if (loaded) {
      $('verdict').textContent = saying(result);
      $('watching').hidden = true;
      $('again').textContent = 'Play a match';
    }
    var bytes = module.recording && module.recording.length ? module.recording : loaded;
    if (bytes && bytes.length)
      share(bytes);
  }

  return {
    start: start,
    playing: function () { return running && !!loaded; },
    stop: actions.end,
    end: end,
    base: base
  };
}
