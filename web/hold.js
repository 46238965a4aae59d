// The show's hold on the page: the viewer's pause, a hidden page and an audio
// output the browser suspended or interrupted are three reasons for one hold.
// The program asks control() in every wait and stands still while it is held;
// "Tap to resume" shows where the browser wants a tap to play sound again.
// Keeps window.ostramere.paused = false, 'pause', 'hidden' or 'audio'.
'use strict';
window.ostramereHold = (function () {
  const tapAfterMs = 1500;  // an output still down this long after a try asks for a tap
                           // (WebKit's takes about a second to keep time again)
  const audio = window.ostramereAudio;
  let state = null;        // window.ostramere, from attach()
  let live = false;        // a show is playing (not ended, not a simulated run)
  let paused = false;      // the viewer's pause
  let stopAsked = false;   // the stop action, for the program's next look
  let downSince = 0;       // when the output was last seen not playing while wanted
  let tapTimer = 0;
  const listeners = [];
  const tapButton = document.getElementById('resume');

  const hidden = () => document.visibilityState === 'hidden';

  function reason() {
    if (!live) return false;
    if (paused) return 'pause';
    if (hidden()) return 'hidden';
    if (audio.down()) return 'audio';
    return false;
  }

  // Works out the hold again; stops or resumes the output on a change of
  // the wanted hold (`tap`: inside a tap's handler). A pause alone holds
  // briefly (the output runs on silent for a while); a hidden page lets the
  // output go at once.
  let wanted = false, wantedBrief = false;
  function update(tap) {
    const want = live && (paused || hidden());
    const brief = !hidden();
    if (want !== wanted || (want && brief !== wantedBrief)) {
      wanted = want;
      wantedBrief = brief;
      audio.hold(want, tap, brief);
    }
    const r = reason();
    if (state && state.paused !== r) {
      state.paused = r;
      for (const f of listeners) f(r);
    }
    // Tap to resume: the output stays down with nothing else holding.
    clearTimeout(tapTimer);
    if (r === 'audio') {
      if (!downSince) downSince = performance.now();
      const left = tapAfterMs - (performance.now() - downSince);
      if (left > 0) tapTimer = setTimeout(() => update(false), left);
      else if (tapButton) tapButton.hidden = false;
    } else {
      downSince = 0;
      if (tapButton) tapButton.hidden = true;
    }
  }

  audio.onChange = () => update(false);
  document.addEventListener('visibilitychange', () => update(false));
  if (tapButton) {
    tapButton.addEventListener('click', (e) => {
      e.stopPropagation();
      downSince = performance.now();
      audio.tap();  // before anything else: inside the tap's handler
      update(true);
    });
  }

  return {
    // window.ostramere, where `paused` is kept.
    attach(s) { state = s; s.paused = false; },
    // The program's question (Module.ostra.control): 0 play on, 1 hold, 2 stop.
    control() {
      if (stopAsked) { stopAsked = false; return 2; }
      return state && state.paused ? 1 : 0;
    },
    // A live show starts or ends (simulated runs are never held).
    begin(isLive) { live = isLive; paused = false; stopAsked = false; wanted = false; update(false); },
    end() { live = false; paused = false; stopAsked = false; update(false); },
    get live() { return live; },
    get paused() { return paused; },
    // The viewer's pause and play (keys, buttons, Media Session: all inside
    // a user's gesture or the system's action).
    pause() { if (live && !paused) { paused = true; update(true); } },
    play() {
      if (!live) return;
      paused = false;
      if (audio.down()) audio.tap();
      update(true);
    },
    toggle() { if (paused) this.play(); else this.pause(); },
    // Ends the show at the program's next look, held or not.
    stop() { if (live) stopAsked = true; },
    // Called with the new reason whenever it changes.
    listen(f) { listeners.push(f); },
  };
})();
