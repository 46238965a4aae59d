// The control bar over the picture: play/pause, the seek bar (seek_bar.js)
// and the music time. It shows while the pointer moves, on a tap on the
// picture and while paused; Space or K pauses and plays, the left and right
// arrows move 10 s. How a seek is carried out is the page's (page.js).
'use strict';
window.ostramereControls = (function () {
  const hideAfterMs = 2500;
  const hold = window.ostramereHold;
  const $ = (id) => document.getElementById(id);
  const bar = $('controls'), button = $('playpause'), time = $('bar-time');
  const stage = $('stage'), canvas = $('canvas');
  const seekBar = window.ostramereSeekBar;
  const stepMs = 10000;  // the arrows' step
  let state = null, timer = 0, clock = 0, endMs = 0;
  let seeker = null;     // the page's { to({ ms, chapter }), by(deltaMs) }
  let previewMs = null;  // where a drag of the seek bar would land
  seekBar.create(bar.querySelector('.seek'));

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
    const at = previewMs !== null ? previewMs : state ? state.music_ms : null;
    if (at !== null) time.textContent = formatTime(at) + ' / ' + formatTime(endMs);
    if (state) seekBar.show(state.music_ms);
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
    } else if ((e.key === 'ArrowLeft' || e.key === 'ArrowRight') && seeker) {
      e.preventDefault();
      seeker.by(e.key === 'ArrowRight' ? stepMs : -stepMs);
    }
  });
  hold.listen(() => { refresh(); if (hold.paused) show(); else if (!bar.hidden) show(); });

  return {
    bar,
    // window.ostramere, the show's length in ms of music, its chapters and
    // the page's seek ({ to({ ms, chapter }), by(deltaMs) }).
    attach(s, showEndMs, chapters, seek) {
      state = s;
      endMs = showEndMs;
      seeker = seek;
      seekBar.attach(showEndMs, chapters, (where) => { previewMs = null; seek.to(where); },
                     (ms) => { previewMs = ms; refresh(); });
    },
    show,
    hide() { bar.hidden = true; clearTimeout(timer); clearInterval(clock); clock = 0; },
  };
})();
