// The control bar over the picture: play/pause, room for a seek bar, and the
// music time. It shows while the pointer moves, on a tap on the picture and
// while paused; Space or K pauses and plays. New controls go into
// window.ostramereControls.bar (the seek bar into its .seek slot).
'use strict';
window.ostramereControls = (function () {
  const hideAfterMs = 2500;
  const hold = window.ostramereHold;
  const $ = (id) => document.getElementById(id);
  const bar = $('controls'), button = $('playpause'), time = $('bar-time');
  const stage = $('stage'), canvas = $('canvas');
  let state = null, timer = 0, clock = 0, endMs = 0;


  function formatTime(ms) {
    const s = Math.max(0, Math.floor(ms / 1000));
    return Math.floor(s / 60) + ':' + String(s % 60).padStart(2, '0');
  }

  function refresh() {
    // Both icons stay in the button (one shows): replacing them under a
    // pointer that is down would lose the click.
    const paused = hold.paused;
    button.classList.toggle('paused', paused);
    button.setAttribute('aria-label', paused ? 'Play' : 'Pause');
    button.title = (paused ? 'Play' : 'Pause') + ' (Space, K)';
    if (state && state.music_ms !== null) time.textContent = formatTime(state.music_ms) + ' / ' + formatTime(endMs);
  }

  function usable() { return hold.live && state && state.phase === 'playing' && !state.seeking; }

  // Shows the bar for a while (for good while paused).
  function show() {
    if (!usable()) return;
    bar.hidden = false;
    refresh();
    clearTimeout(timer);
    if (!hold.paused) timer = setTimeout(hide, hideAfterMs);
    if (!clock) clock = setInterval(refresh, 250);
  }
  function hide() {
    clearTimeout(timer);
    clearInterval(clock);
    clock = 0;
    if (hold.paused && usable()) return;
    bar.hidden = true;
  }

  stage.addEventListener('pointermove', (e) => { if (e.pointerType === 'mouse') show(); });
  // A tap on the picture shows the bar (a tap on the bar itself keeps it).
  canvas.addEventListener('pointerdown', () => show());
  bar.addEventListener('pointerdown', () => show());
  // The button gives the focus back to the picture, so that Space is the
  // page's key again and does not press the button a second time.
  button.addEventListener('click', () => { hold.toggle(); show(); canvas.focus(); });
  document.addEventListener('keydown', (e) => {
    if (e.ctrlKey || e.altKey || e.metaKey || !usable()) return;
    // Space on a focused button or field is that control's own.
    if (e.key === ' ' && e.target.closest && e.target.closest('button, input, a, label')) return;
    if (e.key === ' ' || e.key === 'k' || e.key === 'K') {
      e.preventDefault();
      hold.toggle();
      show();
    }
  });
  hold.listen(() => { refresh(); if (hold.paused) show(); else if (!bar.hidden) show(); });

  return {
    bar,
    // window.ostramere and the show's length in ms of music.
    attach(s, showEndMs) { state = s; endMs = showEndMs; },
    show,
    hide() { bar.hidden = true; clearTimeout(timer); clearInterval(clock); clock = 0; },
  };
})();
