// The page's side of the show: downloads the program and its data with a
// progress bar, starts the show on a click (or at once for autoplay, sim and
// bench), keeps window.ostramere up to date, and handles fullscreen, the end
// and "play again". Every pixel and sample comes from the program itself.
'use strict';
(function () {
  const params = new URLSearchParams(location.search);
  const flag = (name) => params.has(name) && params.get(name) !== '0' && params.get(name) !== 'false';
  const sim = flag('sim');
  const bench = flag('bench');
  const autoplay = flag('autoplay') || sim || bench;
  const quitAt = params.has('quit-at') ? params.get('quit-at') : null;

  const audio = window.ostramereAudio;
  const state = window.ostramere = {
    phase: 'loading', tick: 0, music_ms: null, frame: 0,
    frames: sim ? [] : null, bench: null, error: null, status: null, audio: audio.info,
  };

  const $ = (id) => document.getElementById(id);
  const overlay = $('overlay'), startButton = $('start'), statusLine = $('status');
  const bar = $('progress'), stage = $('stage'), canvas = $('canvas');

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

  async function download() {
    const response = await fetch('site.json');
    if (!response.ok) throw new Error('site.json: HTTP ' + response.status);
    manifest = await response.json();
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
    frame(idx, tick, musicMs, hash) {
      state.frame = idx + 1;
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
      state.status = status;
      state.phase = 'ended';
      if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
      audio.end();
      overlay.hidden = false;
      bar.hidden = true;
      statusLine.textContent = status === 0 ? 'The end.' : 'The show stopped (status ' + status + ').';
      startButton.textContent = 'Play again';
      startButton.disabled = false;
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

  function writeData(FS) {
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
  }

  function start() {
    overlay.hidden = true;
    state.phase = 'playing';
    state.tick = 0; state.music_ms = null; state.frame = 0;
    if (state.frames) state.frames = [];
    audio.begin(!sim && !bench);
    const args = ['--data', '/data'];
    if (sim) args.push('--sim');
    if (bench) args.push('--bench');
    if (quitAt !== null) args.push('--quit-at', quitAt);
    const moduleArg = {
      arguments: args,
      canvas,
      wasmBinary: wasmBytes,
      ostra: hooks,
      preRun: [(m) => writeData(m.FS)],
      print: (t) => console.log(t),
      printErr: (t) => console.warn(t),
      onAbort: (what) => fail('the program stopped: ' + what),
    };
    window.createOstramere(moduleArg).then((m) => { instance = m; }, (e) => fail(e));
    canvas.focus();
  }

  startButton.addEventListener('click', () => {
    if (!startButton.disabled) start();
  });

  // --- Fullscreen and keys ---------------------------------------------------
  function toggleFullscreen() {
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    else if (stage.requestFullscreen) stage.requestFullscreen().catch(() => {});
  }
  $('fullscreen').addEventListener('click', toggleFullscreen);
  document.addEventListener('keydown', (e) => {
    if ((e.key === 'f' || e.key === 'F') && !e.ctrlKey && !e.altKey && !e.metaKey) toggleFullscreen();
  });

  // --- Go --------------------------------------------------------------------
  download().then(() => {
    state.phase = 'ready';
    bar.hidden = true;
    statusLine.textContent = 'Ready.';
    startButton.disabled = false;
    if (autoplay) start();
    else startButton.focus();
  }, (e) => fail(e && e.message ? e.message : e));
})();
