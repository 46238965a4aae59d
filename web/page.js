// The page's side of the show: reads the page's parameters, keeps
// window.ostramere, starts the program on a click or tap (or at once for
// autoplay, sim and bench), from the start or from a start point (?start=,
// a chapter link, a seek: a restart at the moment asked for), answers the
// program's calls and ends the run. Each other job has a file of its own,
// loaded before this one: loading.js, start_points.js, run_ahead.js,
// moment_link.js, wake_lock.js, fullscreen.js, end_screen.js,
// bench_table.js, offscreen.js, and hold.js, controls.js, seek_bar.js,
// media_session.js, audio.js. Every pixel and sample comes from the
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
  const loading = window.ostramereLoading, points = window.ostramereStartPoints;
  const runAhead = window.ostramereRunAhead, wakeLock = window.ostramereWakeLock;
  const fullscreen = window.ostramereFullscreen, endScreen = window.ostramereEndScreen;
  const state = window.ostramere = {
    phase: 'loading', tick: 0, music_ms: null, frame: 0, frame_at: 0,
    frames: sim ? [] : null, bench: null, error: null, status: null, audio: audio.info,
    start: null, seeking: false, seek_to: null, checkpoint: false, checkpoint_file: null, link: null,
    wake_lock: 'none', gentle: gentleSwitch.checked, paused: false, filled: false,
    song_cache: 'none', song_cache_ms: null, song_cache_used: false,
  };
  hold.attach(state);
  runAhead.attach(state);
  window.ostramereMomentLink.attach(state);
  wakeLock.attach(state, !sim && !bench);
  fullscreen.attach(state);

  const $ = (id) => document.getElementById(id);
  const overlay = $('overlay'), startButton = $('start'), statusLine = $('status');
  const bar = $('progress'), canvas = $('canvas');

  let startPoint = null;
  // Once the timeline is known (readIndex).
  function readStart() {
    try {
      startPoint = points.parse(params.get('start'));
    } catch (e) {
      startPoint = { error: e.message };
    }
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
    const point = where.chapter ? points.parse(where.chapter) : ms > 0 ? points.parse(String(ms)) : null;
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

  // A chapter link on the start overlay or the end screen: the show from there.
  function pickChapter(name) {
    if (startButton.disabled || state.seeking) return;
    startPoint = points.parse(name);
    history.replaceState(null, '', points.link(name));
    start(true);
  }

  function fail(message) {
    state.error = String(message);
    statusLine.textContent = 'Error: ' + state.error;
    overlay.hidden = false;
    startButton.disabled = true;
    console.error('ostramere: ' + state.error);
  }
  window.addEventListener('error', (e) => { if (!state.error) fail(e.message || 'script error'); });
  window.addEventListener('unhandledrejection', (e) => { if (!state.error) fail(e.reason || 'failed'); });

  let manifest = null, wasmBytes = null, dataBytes = null;

  // The site's index: file sizes, the data pack's files and the timeline.
  async function readIndex() {
    manifest = await loading.readIndex();
    ({ chapters, scenes, endMs: showEndMs } = window.ostramereChapters.fromTimeline(manifest.timeline));
    points.attach(chapters, showEndMs);
    // The bar's time and the lock screen's position need the show's length.
    controls.attach(state, showEndMs, chapters, seeker);
    mediaSession.attach(state, showEndMs, seeker);
  }

  async function download() {
    ({ wasm: wasmBytes, data: dataBytes } = await loading.download(manifest.sizes));
    // Compiled once: every run and the song cache's worker instantiate it.
    compiled = await WebAssembly.compile(wasmBytes);
  }

  // --- The song cache ---------------------------------------------------------
  // While the page waits, a worker renders the whole song once (a second
  // instance of the program); a start point that restores a checkpoint then
  // plays the song from it instead of rendering the song up to the start.
  // Until it is there (or if it fails), starts render the song as before.
  // songWait: the run that waits for the cache on its way ({ run, wait, fs }).
  let compiled = null, songCache = null, songWait = null;
  function makeSongCache() {
    if (typeof Worker === 'undefined') return;
    const began = performance.now();
    state.song_cache = 'making';
    let worker;
    try {
      worker = new Worker('song_worker.js');
    } catch (e) {
      state.song_cache = 'failed';
      return;
    }
    worker.onmessage = (e) => {
      worker.terminate();
      if (e.data.bytes) {
        songCache = e.data.bytes;
        // into the run that waits for it, if its checkpoint folder is there
        const w = songWait;
        if (w && w.wait && w.fs && w.fs.analyzePath('/data/checkpoints').exists) {
          w.fs.writeFile('/data/checkpoints/song.ocache', songCache);
          state.song_cache_used = true;
        }
        state.song_cache = 'ready';
        state.song_cache_ms = Math.round(performance.now() - began);
      } else {
        state.song_cache = 'failed';
        console.warn('ostramere: no song cache (' + e.data.error + '); start points render the song');
      }
    };
    worker.onerror = (e) => {
      worker.terminate();
      state.song_cache = 'failed';
      console.warn('ostramere: no song cache (' + (e.message || 'worker error') + '); start points render the song');
      e.preventDefault();
    };
    worker.postMessage({ module: compiled, files: manifest.data, pack: dataBytes });
  }

  // --- The program -----------------------------------------------------------
  let instance = null;

  // Called by the program (through Module.ostra).
  const hooks = {
    playing() { state.phase = 'playing'; },
    // Asked before a restored song is read: true while the song cache this
    // run waits for is still being made.
    songCachePending() { return !!(songWait && songWait.wait && state.song_cache === 'making'); },
    // Asked in every wait of a live run: 0 play on, 1 hold, 2 stop.
    control() { return hold.control(); },
    frame(idx, tick, musicMs, hash) {
      runAhead.end();  // frames reach the page from the start point on
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
      window.ostramereBenchTable.show(state.bench);
    },
    ended(status) {
      // (a turn later: not from inside the program that is ending)
      if (restartAt !== undefined) { const p = restartAt; setTimeout(() => restart(p), 0); return; }
      state.status = status;
      state.phase = 'ended';
      runAhead.end();
      wakeLock.release();
      hold.end();
      controls.hide();
      mediaSession.end();
      fullscreen.leave();
      audio.end();
      endScreen.show(status);
    },
  };

  // --- Checkpoints -------------------------------------------------------------
  // A start point restores its scene from a checkpoint when the program finds
  // one in its data's checkpoints/ folder, and runs ahead only within that
  // scene. The site keeps one file per scene and kind of run (gentle or not,
  // of a capture's timing: a live run has a window's, and the program moves
  // the file's ticks by the settle wait); only the one a start point needs
  // is fetched, when it is needed, and kept for later seeks. A file the
  // program refuses (another build, other data) or one that does not arrive
  // leaves the plain run ahead.
  function checkpointFile(point, gentle) {
    if (!point) return null;
    const suffix = gentle ? '-gentle' : '';
    return window.ostramereChapters.checkpointFor(scenes, manifest.checkpoints, point, suffix);
  }
  // What the program says of its start (its error output).
  function startNote(line) {
    if (/starting from the .* scene's checkpoint/.test(line)) state.checkpoint = true;
    if (/rendering the song up to the start/.test(line)) state.song_cache_used = false;
  }

  // `tap`: called inside a click's or tap's handler, where sound may start.
  function start(tap) {
    if (state.phase === 'playing') return;  // one show at a time
    endScreen.leave();
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
      runAhead.begin(startPoint);
    }
    wakeLock.hold();
    const file = checkpointFile(startPoint, state.gentle);
    state.checkpoint = false;
    state.checkpoint_file = file;
    let checkpoint = null;
    const moduleArg = {
      arguments: args,
      canvas,
      ostraScreen: window.ostramereOffscreen,
      instantiateWasm(imports, ready) {
        WebAssembly.instantiate(compiled, imports).then((inst) => ready(inst, compiled), (e) => fail(e));
        return {};
      },
      ostra: hooks,
      preRun: [(m) => {
        if (songWait && songWait.run === moduleArg) songWait.fs = m.FS;
        state.song_cache_used = !!(checkpoint && songCache);
        loading.writeData(m.FS, manifest.data, dataBytes, checkpoint, state.song_cache_used ? songCache : null);
      }],
      print: (t) => console.log(t),
      printErr: (t) => { runAhead.progress(t); startNote(t); console.warn(t); },
      onAbort: (what) => fail('the program stopped: ' + what),
    };
    songWait = null;
    const run = () => window.createOstramere(moduleArg).then((m) => { instance = m; }, (e) => fail(e));
    if (!file) run();
    else {
      // A start a minute or more into the song waits for a song cache that
      // is on its way: the worker has a head start on rendering the song up
      // to there, and the two would only share the processor. An earlier
      // start renders its little of the song at once.
      // The program waits only once everything else of the checkpoint is
      // restored (hooks.songCachePending), so its own start and the
      // worker's last part overlap.
      songWait = { run: moduleArg, wait: state.song_cache === 'making' && startPoint.ms >= 60000, fs: null };
      loading.checkpoint(file).then((bytes) => { checkpoint = { file, bytes }; }, (e) => {
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

  // --- Go --------------------------------------------------------------------
  readIndex().then(() => {
    points.buildChapters(pickChapter);
    readStart();
    if (startPoint && startPoint.error) throw new Error(startPoint.error);
    if (startPoint) statusLine.dataset.start = startPoint.label;
    return download();
  }).then(() => {
    state.phase = 'ready';
    makeSongCache();
    bar.hidden = true;
    statusLine.textContent = startPoint ? 'Ready to start at ' + startPoint.label + '.' : 'Ready.';
    startButton.disabled = false;
    if (autoplay) start(false);
    else startButton.focus();
  }, (e) => fail(e && e.message ? e.message : e));
})();
