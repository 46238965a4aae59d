// The page's side of the show's sound: opens the AudioContext on the click,
// loads the worklet (worklet.js) and hands it the blocks the program renders,
// tells the program what the worklet has played, and decides when sound
// cannot start: the show then plays on silently and one line says so.
// Keeps window.ostramere.audio = { state, underruns, lead_ms } up to date.
'use strict';
window.ostramereAudio = (function () {
  const rate = 44100;
  const startLimitMs = 2000;   // the context must run and move within this of the click
  const stallLimitMs = 2000;   // a running context whose time stands this long has stopped
  const workletLimitMs = 10000;  // a running context whose worklet never reported by then
  const params = new URLSearchParams(location.search);
  const askedLead = Number(params.get('lead'));
  // state: off (no live run), starting, running, silent
  const info = { state: 'off', underruns: 0, lead_ms: 0 };
  let ctx = null, node = null, pending = [], last = null, watch = 0;
  let startedAt = 0, moved = { time: -1, at: 0 }, note = null;

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
    if (node) { node.port.postMessage('stop'); node.disconnect(); }
    if (ctx && ctx.state !== 'closed') ctx.close().catch(() => {});
    ctx = null; node = null; pending = [];
  }

  function silent(why) {
    if (info.state === 'silent') return;
    info.state = 'silent';
    shut();
    showNote('No sound (' + why + '): the show plays on silently.');
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
      if (ctx.state === 'running' && ctx.currentTime > 0) {
        info.state = 'running';
        moved = { time: ctx.currentTime, at: now };
      } else if (now - startedAt >= startLimitMs) {
        silent(ctx.state === 'running' ? 'the audio output does not move' : 'the browser did not start audio output');
      }
    } else if (info.state === 'running') {
      if (ctx.currentTime !== moved.time) moved = { time: ctx.currentTime, at: now };
      else if (now - moved.at >= stallLimitMs) silent('the audio output stopped');
      else if (timer && !last && now - startedAt >= workletLimitMs) silent('the sound worklet did not start');
    }
  }

  return {
    info,
    // Lead the program keeps rendered ahead, in ms (?lead=MS, 50..1000):
    // longer than the longest stretch a slow or busy machine keeps the page's
    // thread from rendering (0.4 s was not always enough on a loaded one).
    leadMs: askedLead >= 50 && askedLead <= 1000 ? askedLead : 600,

    // On the click (or autoplay): a live run tries to start sound.
    begin(live) {
      shut();
      showNote('');
      Object.assign(info, { state: live ? 'starting' : 'off', underruns: 0, lead_ms: 0 });
      last = null;
      if (!live) return;
      startedAt = performance.now();
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
      ctx.resume().catch(() => {});
      const c = ctx;
      c.audioWorklet.addModule('worklet.js').then(() => {
        if (ctx !== c) return;
        node = new AudioWorkletNode(c, 'ostramere-player',
                                    { numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [2] });
        node.port.onmessage = (e) => onReport(e.data);
        node.onprocessorerror = () => silent('the sound worklet failed');
        node.connect(c.destination);
        for (const m of pending) node.port.postMessage(m, [m.data.buffer]);
        pending = [];
      }, () => silent('the sound worklet did not load'));
      watch = setInterval(() => check(true), 250);
    },

    // The program's calls (app/web_audio.cpp).
    usable() { return info.state === 'starting' || info.state === 'running'; },
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
      if (!ctx || !(info.state === 'starting' || info.state === 'running')) return 2;
      heap[i] = last ? last.played : 0;
      heap[i + 1] = last ? last.at : 0;
      heap[i + 2] = Math.round(ctx.currentTime * rate);
      heap[i + 3] = Math.round(((ctx.baseLatency || 0) + (ctx.outputLatency || 0)) * rate);
      return info.state === 'running' && last ? 1 : 0;
    },
    close() { if (info.state !== 'silent') { shut(); info.state = 'off'; } },

    // The show ended.
    end() { if (info.state !== 'silent') this.close(); },
  };
})();
