// The page's side of the show's sound: opens the AudioContext on the click,
// loads the worklet (worklet.js) and hands it the blocks the program renders,
// tells the program what the worklet has played, suspends and resumes the
// output for the page's hold (hold.js), tells the hold when the browser has
// suspended or interrupted it, and decides when sound cannot start: the show
// then plays on silently and one line says so.
// Keeps window.ostramere.audio = { state, underruns, lead_ms, ... } up to date.
'use strict';
window.ostramereAudio = (function () {
  const rate = 44100;
  const startLimitMs = 2000;   // the context must run and move within this of the click
  const stallLimitMs = 2000;   // a running context whose time stands this long has stalled
  const retryMs = 1000;        // a context the browser suspended is asked to resume this often
  const workletLimitMs = 10000;  // a running context whose worklet never reported by then
  const settleMs = 120;        // an output back from a stop keeps time over this before the show goes on
  const pauseQuietMs = 30000;  // a viewer's pause keeps the output running (silent) this long, then stops it
  const params = new URLSearchParams(location.search);
  const askedLead = Number(params.get('lead'));
  // state: off (no live run), starting, running, silent; after it has run:
  // suspended or interrupted (as the context says) or stalled (running, its
  // time standing) while the output does not play. Only a context that never
  // started makes the show silent; one that stops later holds it instead.
  // resuming: running again, but its clock does not keep time yet (WebKit's
  // stands for about a second after a resume, then renders that second at
  // once); the worklet holds its queue, and the show holds, until it does.
  // held: the page holds the show and the output runs on, playing silence
  // (a viewer's pause, until pauseQuietMs): play goes on at once, with no
  // resume to wait for.
  // tap: the last start or resume ran inside a tap's handler, silent_buffer:
  // a silent buffer was played there, session: navigator.audioSession.type.
  const info = { state: 'off', underruns: 0, lead_ms: 0, tap: false, silent_buffer: false, session: 'none' };
  let ctx = null, node = null, pending = [], last = null, watch = 0;
  let startedAt = 0, moved = { time: -1, at: 0 }, note = null;
  let held = false;          // the page holds the show: the output is suspended on purpose
  let askedAt = 0;           // the last resume asked for
  let onChange = () => {};   // told when the output stops or plays again
  let backAt = 0;            // the output's frame clock when it last played again
  let settle = null;         // { at, time }: where the clock is watched from while resuming
  let settleTimer = 0;
  let quietTimer = 0;        // stops the output of a long pause
  const down = () => info.state === 'suspended' || info.state === 'interrupted' || info.state === 'stalled' ||
                     info.state === 'resuming' || info.state === 'held';

  function showNote(text) {
    if (!note) {
      note = document.createElement('p');
      note.id = 'audio-note';
      note.setAttribute('role', 'status');
      (document.getElementById('stage') || document.body).appendChild(note);
    }
    note.textContent = text;
    note.hidden = !text;
  }

  function shut() {
    clearInterval(watch);
    clearTimeout(settleTimer);
    clearTimeout(quietTimer);
    settle = null;
    if (node) { node.port.postMessage('stop'); node.disconnect(); }
    if (ctx && ctx.state !== 'closed') ctx.close().catch(() => {});
    ctx = null; node = null; pending = [];
  }

  function silent(why) {
    if (info.state === 'silent') return;
    info.state = 'silent';
    shut();
    showNote('No sound (' + why + '): the show plays on silently.');
    onChange();
  }

  // Tells the worklet to play its queue or to hold it (play silence).
  function tell(playing) {
    if (node) node.port.postMessage(playing ? 'play' : 'hold');
  }

  function setState(s) {
    if (info.state === s) return;
    if (s === 'running' && ctx) backAt = Math.round(ctx.currentTime * rate);
    // The worklet plays its queue only while the output keeps time.
    if ((s === 'running') !== (info.state === 'running')) tell(s === 'running');
    info.state = s;
    onChange();
  }

  // True once a context running again has kept time for settleMs: its clock
  // moved by 0.8 to 1.25 times the wall clock. A clock standing or jumping
  // starts the watch again from there.
  function keepsTime(now) {
    const t = ctx.currentTime;
    if (!settle) { settle = { at: now, time: t }; return false; }
    const wall = now - settle.at;
    if (wall < settleMs) return false;
    const ratio = (t - settle.time) * 1000 / wall;
    if (ratio >= 0.8 && ratio <= 1.25) return true;
    settle = { at: now, time: t };
    return false;
  }

  // Asks the context to play. Called inside a tap's handler it runs before
  // anything is awaited, as iPhones require; a silent buffer played there
  // wakes their output.
  function resumeNow(tap) {
    if (!ctx) return;
    askedAt = performance.now();
    const c = ctx;
    c.resume().then(() => check(false), () => {});
    if (tap) {
      info.tap = true;
      try {
        const b = c.createBufferSource();
        b.buffer = c.createBuffer(1, 1, rate);
        b.connect(c.destination);
        b.start(0);
        info.silent_buffer = true;
      } catch (e) { /* no output to wake */ }
    }
  }

  // The output's latency in s: its base latency only. The output's own
  // (`outputLatency`) is not asked: asked while Firefox was still opening its
  // output, it never answered and the page stood for good (2 runs of 3 that
  // started playing at once from a checkpoint, 0 of 5 that did not ask), and
  // asked first 3 s into the show, WebKitGTK's page hung (2 runs of 2).
  function outputLatency() {
    return ctx.baseLatency || 0;
  }

  function onReport(d) {
    last = d;
    info.underruns = d.underruns;
    info.lead_ms = Math.round(d.queued * 1000 / rate);
  }

  // The start limit, then the watch on a running context. `timer`: called
  // from the page's own timer, where the worklet's reports have had their
  // turn (a program busy for seconds reads nothing from its port).
  function check(timer) {
    if (!ctx) return;
    const now = performance.now();
    if (info.state === 'starting') {
      if (held) {
        startedAt = now;  // a start held: its limit counts from the return
      } else if (ctx.state === 'running' && ctx.currentTime > 0) {
        moved = { time: ctx.currentTime, at: now };
        setState('running');
      } else if (now - startedAt >= startLimitMs) {
        silent(ctx.state === 'running' ? 'the audio output does not move' : 'the browser did not start audio output');
      }
    } else if (held) {
      // Held on purpose: not a fault. The time away is not waited for.
      setState(ctx.state === 'running' ? 'held' : ctx.state === 'interrupted' ? 'interrupted' : 'suspended');
      startedAt = now;
      moved = { time: ctx.currentTime, at: now };
      settle = null;
    } else if (ctx.state !== 'running') {
      // Suspended or interrupted by the browser (a call, the lock screen,
      // another app's sound): the show holds until it plays again.
      setState(ctx.state === 'interrupted' ? 'interrupted' : 'suspended');
      if (now - askedAt >= retryMs) resumeNow(false);
      moved = { time: ctx.currentTime, at: now };
      settle = null;
    } else if (info.state === 'running') {
      if (ctx.currentTime !== moved.time) moved = { time: ctx.currentTime, at: now };
      else if (now - moved.at >= stallLimitMs) { setState('stalled'); settle = null; }
    } else if (keepsTime(now)) {
      moved = { time: ctx.currentTime, at: now };
      settle = null;
      setState('running');
    } else if (info.state !== 'stalled') {
      setState('resuming');
      clearTimeout(settleTimer);
      settleTimer = setTimeout(() => check(false), 40);  // looks closer than the watch while resuming
    }
    if (timer && info.state === 'running' && !last && now - startedAt >= workletLimitMs)
      silent('the sound worklet did not start');
  }

  return {
    info,
    // Lead the program keeps rendered ahead, in ms (?lead=MS, 50..1000):
    // longer than the longest stretch a slow or busy machine keeps the page's
    // thread from rendering (0.4 s was not always enough on a loaded one).
    leadMs: askedLead >= 50 && askedLead <= 1000 ? askedLead : 600,

    // Told when the output stops or plays again (hold.js).
    set onChange(f) { onChange = f; },
    // True while a live run's output does not play (not silent: it may come back).
    down,

    // On the click or tap (or autoplay): a live run tries to start sound.
    // Everything up to resume() runs synchronously inside the handler.
    begin(live, tap) {
      shut();
      showNote('');
      Object.assign(info, { state: live ? 'starting' : 'off', underruns: 0, lead_ms: 0, tap: false, silent_buffer: false });
      last = null;
      held = false;
      if (!live) return;
      startedAt = performance.now();
      // The ring/silent switch of an iPhone mutes "ambient" sound; a show is playback.
      if (navigator.audioSession) {
        try { navigator.audioSession.type = 'playback'; } catch (e) { /* read-only here */ }
        info.session = String(navigator.audioSession.type);
      }
      try {
        ctx = new AudioContext({ sampleRate: rate });
      } catch (e) {
        silent('the browser has no audio output at 44100 Hz');
        return;
      }
      if (!ctx.audioWorklet) {
        silent('sound needs the page served over HTTPS');
        return;
      }
      resumeNow(!!tap);
      const c = ctx;
      c.onstatechange = () => { if (ctx === c) check(false); };
      c.audioWorklet.addModule('worklet.js').then(() => {
        if (ctx !== c) return;
        node = new AudioWorkletNode(c, 'ostramere-player',
                                    { numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [2] });
        node.port.onmessage = (e) => onReport(e.data);
        node.onprocessorerror = () => silent('the sound worklet failed');
        node.connect(c.destination);
        if (down()) node.port.postMessage('hold');
        for (const m of pending) node.port.postMessage(m, [m.data.buffer]);
        pending = [];
      }, () => silent('the sound worklet did not load'));
      watch = setInterval(() => check(true), 250);
    },

    // The page holds the show: what is heard stops at once. A hidden page
    // (`brief` false) lets the output go; a viewer's pause (`brief`) keeps
    // it running silent for pauseQuietMs first, so a short pause plays on
    // at once (WebKit's output takes a second or more to keep time again
    // after a resume). hold(false) plays again; `tap`: inside a tap's handler.
    hold(on, tap, brief) {
      held = on;
      if (!ctx) return;
      clearTimeout(quietTimer);
      const c = ctx;
      if (on) {
        tell(false);
        if (brief && c.state === 'running')
          quietTimer = setTimeout(() => { if (held && ctx === c) c.suspend().catch(() => {}); }, pauseQuietMs);
        else
          c.suspend().catch(() => {});
      } else {
        moved = { time: c.currentTime, at: performance.now() };
        // An output that never stopped plays on at once; one that stopped
        // (or is stopping) is resumed and plays once it keeps time again.
        if (info.state === 'held' && c.state === 'running') setState('running');
        resumeNow(!!tap);
      }
      check(false);
    },
    // A tap while the output does not play: resume it there (iPhones allow
    // it only inside the tap's handler).
    tap() {
      if (!ctx || held) return;
      resumeNow(true);
      if (info.state === 'stalled') moved = { time: ctx.currentTime, at: performance.now() };
      check(false);
    },

    // The program's calls (app/web_audio.cpp).
    usable() { return info.state === 'starting' || info.state === 'running' || down(); },
    // planar: a view of the program's memory, `frames` left then `frames` right.
    post(planar, frames) {
      if (!ctx) return;
      const m = { data: new Float32Array(planar), frames };
      if (node) node.port.postMessage(m, [m.data.buffer]);
      else pending.push(m);
    },
    // Writes played, reported-at, clock now and latency (frames) at heap[i..];
    // returns 0 starting (nothing played: no report yet), 1 running, 2 failed.
    report(heap, i) {
      check(false);
      if (!ctx || !this.usable()) return 2;
      heap[i] = last ? last.played : 0;
      heap[i + 1] = last ? last.at : 0;
      // The worklet's count moves on by the context's clock only while it
      // plays and since a report from this stretch of playing: a clock that
      // ran on while the output was suspended (WebKit's can) is not music.
      const fresh = last && ctx.state === 'running' && info.state === 'running' && last.at >= backAt;
      heap[i + 2] = fresh ? Math.round(ctx.currentTime * rate) : (last ? last.at : 0);
      heap[i + 3] = Math.round(outputLatency() * rate);
      // Held or down: the context's clock stands, and so does what is heard.
      return info.state !== 'starting' && last ? 1 : 0;
    },
    close() { if (info.state !== 'silent') { shut(); info.state = 'off'; } },

    // The show ended.
    end() { if (info.state !== 'silent') this.close(); },
  };
})();
