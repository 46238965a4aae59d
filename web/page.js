// The page's side of the show: downloads the program and its data with a
// progress bar, starts the show on a click or tap (or at once for autoplay,
// sim and bench), from the start or from a chapter (?start=), keeps
// window.ostramere up to date, and handles fullscreen (or, where a page
// cannot have it, the picture filling the visible viewport), the wake lock,
// the link to the current moment, seeks (a restart at the moment asked for),
// the end and "play again"; the hold, the control bar, the seek bar and the
// Media Session have files of their own (hold.js, controls.js, seek_bar.js,
// media_session.js). Every pixel and sample comes from the
// program itself.
'use strict';
(function () {
  const params = new URLSearchParams(location.search);
  const flag = (name) => params.has(name) && params.get(name) !== '0' && params.get(name) !== 'false';
  const sim = flag('sim');
  const bench = flag('bench');
  const autoplay = flag('autoplay') || sim || bench;
  const quitAt = params.has('quit-at') ? params.get('quit-at') : null;

  // "Reduce flashing" (the program's --gentle): ?gentle in the URL, or on
  // when the browser asks for reduced motion; the switch on the start
  // screen has the last word.
  const gentleSwitch = document.getElementById('gentle');
  gentleSwitch.checked = params.has('gentle') ? flag('gentle')
    : !!(window.matchMedia && window.matchMedia('(prefers-reduced-motion: reduce)').matches);

  // The show's chapters: the scenes a start point can name, with the music
  // time each begins at (shown beside the link, and the run ahead's goal),
  // and the show's end; from the timeline in site.json (chapters.js).
  let chapters = [], scenes = [];
  let showEndMs = 0;

  const audio = window.ostramereAudio;
  const hold = window.ostramereHold, controls = window.ostramereControls;
  const mediaSession = window.ostramereMediaSession;
  const state = window.ostramere = {
    phase: 'loading', tick: 0, music_ms: null, frame: 0, frame_at: 0,
    frames: sim ? [] : null, bench: null, error: null, status: null, audio: audio.info,
    start: null, seeking: false, seek_to: null, checkpoint: false, checkpoint_file: null, link: null,
    wake_lock: 'none', gentle: gentleSwitch.checked, paused: false, filled: false,
  };
  hold.attach(state);

  const $ = (id) => document.getElementById(id);
  const overlay = $('overlay'), startButton = $('start'), statusLine = $('status');
  const bar = $('progress'), stage = $('stage'), canvas = $('canvas');

  // The frames reach the screen through an OffscreenCanvas where the browser
  // has one: its frames go to the compositor directly, not with the page's
  // own rendering, which saves the page's thread about a millisecond a
  // frame. The element can be handed over only once, so every run of the
  // program draws into the same one; its width and height then stand for
  // the OffscreenCanvas's, so that the libraries that size the canvas go on
  // doing so. Without one the program draws into the element itself.
  const screen = (() => {
    if (!canvas.transferControlToOffscreen) return null;
    try {
      const off = canvas.transferControlToOffscreen();
      for (const side of ['width', 'height'])
        Object.defineProperty(canvas, side, { configurable: true, get: () => off[side], set: (v) => { off[side] = v; } });
      return off;
    } catch (e) {
      return null;
    }
  })();

  // --- Start points (?start=T) --------------------------------------------------
  // A music time in ms below the show's end, or a chapter's name; anything
  // else is refused here with a message, before the program runs.
  function parseStart(text) {
    if (text === null || text === '') return null;
    if (/^[0-9]+$/.test(text)) {
      const ms = Number(text);
      if (ms >= showEndMs) throw new Error('start=' + text + ' is past the show\'s end (' + showEndMs + ' ms of music)');
      return { text: String(ms), ms, label: formatMs(ms), scene: null };
    }
    const c = chapters.find((x) => x.name === text);
    if (!c) throw new Error('start=' + text + ' is neither a music time in ms nor a scene (' +
                            chapters.map((x) => x.name).join(', ') + ')');
    return { text: c.name, ms: c.ms, label: c.label, scene: c.name };
  }

  function formatMs(ms) {
    const s = Math.floor(ms / 1000);
    return Math.floor(s / 60) + ':' + String(s % 60).padStart(2, '0');
  }

  // The address of this page starting at `text` (a link to share: the
  // start point and Reduce flashing when it is on, none of the test
  // parameters).
  function startLink(text) {
    return location.origin + location.pathname + '?start=' + encodeURIComponent(text) +
      (gentleSwitch.checked ? '&gentle' : '');
  }

  // Chapter links carry the switch as it stands.
  gentleSwitch.addEventListener('change', () => {
    for (const a of document.querySelectorAll('#chapters a')) a.href = startLink(a.dataset.start);
  });

  let startPoint = null;
  // Once the timeline is known (readIndex).
  function readStart() {
    try {
      startPoint = parseStart(params.get('start'));
    } catch (e) {
      startPoint = { error: e.message };
    }
  }

  // While the program runs ahead unseen: the bar moves on its own and, when
  // the program reports where it has got to, shows how far.
  function seekBegin() {
    state.seeking = true;
    overlay.hidden = false;
    overlay.classList.add('seeking');
    bar.hidden = false;
    bar.classList.add('indeterminate');
    bar.firstElementChild.style.width = '0%';
    statusLine.textContent = 'Going to ' + startPoint.label + '…';
    startButton.disabled = true;
  }

  function seekProgress(line) {
    const m = /running ahead to .*: music (\d+):(\d+)\.(\d)/.exec(line);
    if (!state.seeking || !m || !startPoint || startPoint.ms <= 0) return;
    const ms = (Number(m[1]) * 60 + Number(m[2])) * 1000 + Number(m[3]) * 100;
    const pct = Math.min(99, Math.floor(ms * 100 / startPoint.ms));
    bar.classList.remove('indeterminate');
    bar.firstElementChild.style.width = pct + '%';
    bar.setAttribute('aria-valuenow', String(pct));
    statusLine.textContent = 'Going to ' + startPoint.label + '… ' + pct + ' %';
  }

  function seekEnd() {
    if (!state.seeking) return;
    state.seeking = false;
    overlay.classList.remove('seeking');
    bar.classList.remove('indeterminate');
    bar.hidden = true;
    overlay.hidden = true;
  }

  // --- Seeking: the program starts again at the moment asked for ----------------
  // A seek (the seek bar, the arrows, the Media Session) ends the running
  // program at its next look, as the stop does, and starts it again at the
  // new start point, the same way as ?start= and the chapter links: running
  // ahead unseen behind the progress bar. A seek always plays from there,
  // also one made while paused (the new run starts unheld). Seeks made
  // before the program has ended only move the target; none is taken while
  // the program runs ahead.
  let restartAt;             // undefined: no seek waiting; null: the show's start; else a start point
  let barAfterSeek = false;  // show the control bar again once the new run shows frames
  function seekTo(where) {
    if (state.phase !== 'playing' || state.seeking || !hold.live) return false;
    const ms = Math.max(0, Math.min(showEndMs - 1, Math.floor(Number(where.ms) || 0)));
    const point = where.chapter ? parseStart(where.chapter) : ms > 0 ? parseStart(String(ms)) : null;
    const waiting = restartAt !== undefined;
    restartAt = point;
    state.seek_to = point ? point.ms : 0;
    if (!waiting) hold.stop();
    return true;
  }
  const seeker = {
    to: seekTo,
    // From where the show is (or the seek already waiting), by deltaMs.
    by(deltaMs) {
      const from = restartAt !== undefined ? (restartAt ? restartAt.ms : 0) : (state.music_ms || 0);
      return seekTo({ ms: from + deltaMs, chapter: null });
    },
  };
  // The program ended for a seek: the next run, with no end screen between.
  function restart(point) {
    if (restartAt !== undefined) point = restartAt;  // moved again meanwhile
    restartAt = undefined;
    audio.end();
    hold.end();
    state.phase = 'ready';
    startPoint = point;
    barAfterSeek = true;
    start(false);
  }

  // --- Chapters: links on the start overlay and the end screen ----------------
  function buildChapters() {
    const nav = $('chapters');
    if (!nav) return;
    for (const c of chapters) {
      const a = document.createElement('a');
      a.href = startLink(c.name);
      a.dataset.start = c.name;
      a.innerHTML = '<span></span><small></small>';
      a.firstChild.textContent = c.label;
      a.lastChild.textContent = formatMs(c.ms);
      a.addEventListener('click', (e) => {
        if (e.ctrlKey || e.metaKey || e.shiftKey || e.button !== 0) return;  // new tab: the plain link
        e.preventDefault();
        if (startButton.disabled || state.seeking) return;
        startPoint = parseStart(c.name);
        history.replaceState(null, '', startLink(c.name));
        start(true);
      });
      nav.appendChild(a);
    }
  }

  // --- A link to the current moment (C) ---------------------------------------
  function copyMomentLink() {
    if (state.music_ms === null && state.phase !== 'playing') return;
    const ms = Math.max(0, Math.min(showEndMs - 1, Math.floor((state.music_ms || 0) / 100) * 100));
    const link = startLink(String(ms));
    state.link = link;
    const shown = () => toast('Link to ' + formatMs(ms) + ' copied');
    const fallback = () => {
      const t = document.createElement('textarea');
      t.value = link;
      t.setAttribute('readonly', '');
      t.style.position = 'fixed'; t.style.opacity = '0';
      document.body.appendChild(t);
      t.select();
      let ok = false;
      try { ok = document.execCommand('copy'); } catch (e) { ok = false; }
      t.remove();
      toast(ok ? 'Link to ' + formatMs(ms) + ' copied' : link);
      canvas.focus();
    };
    if (navigator.clipboard && navigator.clipboard.writeText) navigator.clipboard.writeText(link).then(shown, fallback);
    else fallback();
  }

  let toastTimer = 0;
  function toast(text) {
    const t = $('toast');
    if (!t) return;
    t.textContent = text;
    t.hidden = false;
    clearTimeout(toastTimer);
    toastTimer = setTimeout(() => { t.hidden = true; }, 2500);
  }

  // --- Keeping the screen awake while the show plays ---------------------------
  let wakeLock = null;
  function holdWakeLock() {
    if (!('wakeLock' in navigator) || sim || bench) { state.wake_lock = 'unsupported'; return; }
    if (wakeLock || document.visibilityState !== 'visible') return;
    navigator.wakeLock.request('screen').then((lock) => {
      wakeLock = lock;
      state.wake_lock = 'held';
      lock.addEventListener('release', () => { if (wakeLock === lock) { wakeLock = null; state.wake_lock = 'released'; } });
      if (state.phase !== 'playing') releaseWakeLock();
    }, () => { state.wake_lock = 'refused'; });
  }
  function releaseWakeLock() {
    const lock = wakeLock;
    wakeLock = null;
    if (!lock) return;
    state.wake_lock = 'released';
    lock.release().catch(() => {});
  }
  // The browser drops the lock when the page is hidden: take it again.
  document.addEventListener('visibilitychange', () => {
    if (document.visibilityState === 'visible' && state.phase === 'playing') holdWakeLock();
  });

  function fail(message) {
    state.error = String(message);
    statusLine.textContent = 'Error: ' + state.error;
    overlay.hidden = false;
    startButton.disabled = true;
    console.error('ostramere: ' + state.error);
  }
  window.addEventListener('error', (e) => { if (!state.error) fail(e.message || 'script error'); });
  window.addEventListener('unhandledrejection', (e) => { if (!state.error) fail(e.reason || 'failed'); });

  // --- Downloads with one progress bar over every byte -----------------------
  function setProgress(done, total) {
    const pct = total > 0 ? Math.min(100, Math.floor(done * 100 / total)) : 0;
    bar.firstElementChild.style.width = pct + '%';
    bar.setAttribute('aria-valuenow', String(pct));
    statusLine.textContent = 'Loading… ' + pct + ' %';
  }

  async function fetchAll(names, sizes) {
    const total = names.reduce((s, n) => s + (sizes[n] || 0), 0);
    const got = names.map(() => 0);
    const report = () => setProgress(got.reduce((a, b) => a + b, 0), total);
    return Promise.all(names.map(async (name, i) => {
      const response = await fetch(name);
      if (!response.ok) throw new Error(name + ': HTTP ' + response.status);
      const length = sizes[name] || Number(response.headers.get('Content-Length')) || 0;
      const out = new Uint8Array(length);
      const reader = response.body.getReader();
      let at = 0, chunks = null;
      for (;;) {
        const { done, value } = await reader.read();
        if (done) break;
        if (chunks || at + value.length > out.length) {
          chunks = chunks || [out.subarray(0, at)];
          chunks.push(value);
        } else {
          out.set(value, at);
        }
        at += value.length;
        got[i] = at;
        report();
      }
      if (chunks) {
        const whole = new Uint8Array(at);
        let p = 0;
        for (const c of chunks) { whole.set(c, p); p += c.length; }
        return whole;
      }
      return at === out.length ? out : out.subarray(0, at);
    }));
  }

  let manifest = null, wasmBytes = null, dataBytes = null;

  // The site's index: file sizes, the data pack's files and the timeline.
  async function readIndex() {
    const response = await fetch('site.json');
    if (!response.ok) throw new Error('site.json: HTTP ' + response.status);
    manifest = await response.json();
    ({ chapters, scenes, endMs: showEndMs } = window.ostramereChapters.fromTimeline(manifest.timeline));
    // The bar's time and the lock screen's position need the show's length.
    controls.attach(state, showEndMs, chapters, seeker);
    mediaSession.attach(state, showEndMs, seeker);
  }

  async function download() {
    [wasmBytes, dataBytes] = await fetchAll(['ostramere.wasm', 'data.pack'], manifest.sizes);
    await loadScript('ostramere.js');
  }

  function loadScript(src) {
    return new Promise((resolve, reject) => {
      const s = document.createElement('script');
      s.src = src;
      s.onload = resolve;
      s.onerror = () => reject(new Error(src + ': failed to load'));
      document.head.appendChild(s);
    });
  }

  // --- The program -----------------------------------------------------------
  let instance = null;

  // Called by the program (through Module.ostra).
  const hooks = {
    playing() { state.phase = 'playing'; },
    // Asked in every wait of a live run: 0 play on, 1 hold, 2 stop.
    control() { return hold.control(); },
    frame(idx, tick, musicMs, hash) {
      seekEnd();  // frames reach the page from the start point on
      if (barAfterSeek) { barAfterSeek = false; controls.show(); }
      state.frame = idx + 1;
      state.frame_at = performance.now();  // drawn and handed to the canvas
      state.tick = tick;
      state.music_ms = musicMs < 0 ? null : musicMs;
      if (state.frames && hash) state.frames.push({ idx, tick, hash });
    },
    tick(tick, musicMs) {
      state.tick = tick;
      if (musicMs >= 0) state.music_ms = musicMs;
    },
    bench(json) {
      state.bench = JSON.parse(json);
      showBench(state.bench);
    },
    ended(status) {
      // (a turn later: not from inside the program that is ending)
      if (restartAt !== undefined) { const p = restartAt; setTimeout(() => restart(p), 0); return; }
      state.status = status;
      state.phase = 'ended';
      seekEnd();
      releaseWakeLock();
      hold.end();
      controls.hide();
      mediaSession.end();
      if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
      if (state.filled) fillViewport(false);
      audio.end();
      overlay.hidden = false;
      bar.hidden = true;
      statusLine.textContent = status === 0 ? 'The end.' : 'The show stopped (status ' + status + ').';
      startButton.textContent = 'Play again';
      startButton.disabled = false;
      overlay.classList.add('ended');
      startButton.focus();
    },
  };

  function showBench(b) {
    const pre = $('bench');
    const pad = (s, n) => String(s).padStart(n);
    const lines = ['scene            frames   mean    p50    p99    max  (ms)'];
    for (const s of b.scenes) {
      lines.push(s.name.padEnd(16) + pad(s.frames, 7) + pad(s.mean_ms.toFixed(2), 7) +
                 pad(s.p50_ms.toFixed(2), 7) + pad(s.p99_ms.toFixed(2), 7) + pad(s.max_ms.toFixed(2), 7));
    }
    pre.textContent = lines.join('\n');
    pre.hidden = false;
  }

  // --- Checkpoints -------------------------------------------------------------
  // A start point restores its scene from a checkpoint when the program finds
  // one in its data's checkpoints/ folder, and runs ahead only within that
  // scene. The site keeps one file per scene and kind of run (gentle or not;
  // a live run's timing is a window's, a simulated one's a capture's); only
  // the one a start point needs is fetched, when it is needed, and kept for
  // later seeks. A file the program refuses (another build, other data) or
  // one that does not arrive leaves the plain run ahead.
  const fetchedCheckpoints = new Map();
  function checkpointFile(point, gentle) {
    if (!point) return null;
    const suffix = (gentle ? '-gentle' : '') + (sim || bench ? '' : '-w');
    return window.ostramereChapters.checkpointFor(scenes, manifest.checkpoints, point, suffix);
  }
  async function fetchCheckpoint(file) {
    if (fetchedCheckpoints.has(file)) return fetchedCheckpoints.get(file);
    const response = await fetch('checkpoints/' + encodeURIComponent(file));
    if (!response.ok) throw new Error('checkpoints/' + file + ': HTTP ' + response.status);
    const bytes = new Uint8Array(await response.arrayBuffer());
    fetchedCheckpoints.set(file, bytes);
    return bytes;
  }
  // What the program says of its start (its error output).
  function startNote(line) {
    if (/starting from the .* scene's checkpoint/.test(line)) state.checkpoint = true;
  }

  function writeData(FS, checkpoint) {
    FS.mkdir('/data');
    const made = new Set(['/data']);
    for (const f of manifest.data) {
      const path = '/data/' + f.path;
      const parts = path.split('/');
      for (let i = 2; i < parts.length; i++) {
        const dir = parts.slice(0, i).join('/');
        if (!made.has(dir)) { FS.mkdir(dir); made.add(dir); }
      }
      FS.writeFile(path, dataBytes.subarray(f.offset, f.offset + f.size));
    }
    if (checkpoint) {
      FS.mkdir('/data/checkpoints');
      FS.writeFile('/data/checkpoints/' + checkpoint.file, checkpoint.bytes);
    }
  }

  // `tap`: called inside a click's or tap's handler, where sound may start.
  function start(tap) {
    if (state.phase === 'playing') return;  // one show at a time
    overlay.hidden = true;
    overlay.classList.remove('ended');
    state.phase = 'playing';
    state.tick = 0; state.music_ms = null; state.frame = 0;
    controls.hide();
    if (state.frames) state.frames = [];
    audio.begin(!sim && !bench, tap);
    hold.begin(!sim && !bench);
    if (!sim && !bench) mediaSession.begin();
    state.start = startPoint ? startPoint.text : null;
    const args = ['--data', '/data'];
    if (sim) args.push('--sim');
    if (bench) args.push('--bench');
    if (quitAt !== null) args.push('--quit-at', quitAt);
    state.gentle = gentleSwitch.checked;
    if (state.gentle) args.push('--gentle');
    if (startPoint) {
      args.push('--start', startPoint.text);
      seekBegin();
    }
    holdWakeLock();
    const file = checkpointFile(startPoint, state.gentle);
    state.checkpoint = false;
    state.checkpoint_file = file;
    let checkpoint = null;
    const moduleArg = {
      arguments: args,
      canvas,
      ostraScreen: screen,
      wasmBinary: wasmBytes,
      ostra: hooks,
      preRun: [(m) => writeData(m.FS, checkpoint)],
      print: (t) => console.log(t),
      printErr: (t) => { seekProgress(t); startNote(t); console.warn(t); },
      onAbort: (what) => fail('the program stopped: ' + what),
    };
    const run = () => window.createOstramere(moduleArg).then((m) => { instance = m; }, (e) => fail(e));
    if (!file) run();
    else {
      fetchCheckpoint(file).then((bytes) => { checkpoint = { file, bytes }; }, (e) => {
        console.warn('ostramere: no checkpoint (' + (e && e.message ? e.message : e) + '); running ahead instead');
      }).then(run);
    }
    canvas.focus();
  }

  startButton.addEventListener('click', () => {
    if (!startButton.disabled) start(true);
  });
  // A tap or click anywhere on the overlay's free space starts too.
  overlay.addEventListener('click', (e) => {
    if (e.target === overlay && !startButton.disabled) start(true);
  });

  // --- Fullscreen and keys ---------------------------------------------------
  // Where a page cannot go fullscreen (an iPhone offers it to videos only),
  // the picture fills the visible viewport instead and the page around it
  // hides: the stage is laid over the visual viewport, following it as the
  // browser's bars come and go.
  function fitFilled() {
    const v = window.visualViewport;
    const root = document.documentElement.style;
    root.setProperty('--view-w', (v ? v.width : innerWidth) + 'px');
    root.setProperty('--view-h', (v ? v.height : innerHeight) + 'px');
    root.setProperty('--view-x', (v ? v.offsetLeft : 0) + 'px');
    root.setProperty('--view-y', (v ? v.offsetTop : 0) + 'px');
  }
  function fillViewport(on) {
    state.filled = on;
    document.documentElement.classList.toggle('filled', on);
    const v = window.visualViewport || window;
    if (on) {
      fitFilled();
      v.addEventListener('resize', fitFilled);
      v.addEventListener('scroll', fitFilled);
      window.scrollTo(0, 0);
    } else {
      v.removeEventListener('resize', fitFilled);
      v.removeEventListener('scroll', fitFilled);
      for (const p of ['--view-w', '--view-h', '--view-x', '--view-y']) document.documentElement.style.removeProperty(p);
    }
  }

  // On a phone, fullscreen also asks for landscape, where the 4:3 picture is
  // largest (browsers that cannot lock simply keep the orientation).
  function toggleFullscreen() {
    const current = document.fullscreenElement || document.webkitFullscreenElement;
    if (current) {
      Promise.resolve((document.exitFullscreen || document.webkitExitFullscreen).call(document)).catch(() => {});
      return;
    }
    const request = stage.requestFullscreen || stage.webkitRequestFullscreen;
    if (!request || state.filled) {
      fillViewport(!state.filled);
      return;
    }
    Promise.resolve(request.call(stage)).then(() => {
      const o = window.screen.orientation;  // `screen` here is the OffscreenCanvas
      if (o && o.lock && matchMedia('(pointer: coarse)').matches) o.lock('landscape').catch(() => {});
    }, () => {});
  }
  // The button gives the focus back to the picture (Space is the page's key).
  $('fullscreen').addEventListener('click', () => { toggleFullscreen(); canvas.focus(); });
  document.addEventListener('keydown', (e) => {
    if (e.ctrlKey || e.altKey || e.metaKey) return;
    if (e.key === 'f' || e.key === 'F') toggleFullscreen();
    else if ((e.key === 'c' || e.key === 'C') && state.phase === 'playing' && !state.seeking) copyMomentLink();
  });

  // --- Go --------------------------------------------------------------------
  readIndex().then(() => {
    buildChapters();
    readStart();
    if (startPoint && startPoint.error) throw new Error(startPoint.error);
    if (startPoint) statusLine.dataset.start = startPoint.label;
    return download();
  }).then(() => {
    state.phase = 'ready';
    bar.hidden = true;
    statusLine.textContent = startPoint ? 'Ready to start at ' + startPoint.label + '.' : 'Ready.';
    startButton.disabled = false;
    if (autoplay) start(false);
    else startButton.focus();
  }, (e) => fail(e && e.message ? e.message : e));
})();
