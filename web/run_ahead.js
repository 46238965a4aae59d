// The run ahead's bar: while the program runs ahead unseen to a start point,
// the overlay says where it is going, with a bar that moves on its own and,
// once the program reports where it has got to, shows how far. Keeps
// window.ostramere.seeking; the run itself is the page's (page.js).
'use strict';
window.ostramereRunAhead = (function () {
  const $ = (id) => document.getElementById(id);
  const overlay = $('overlay'), startButton = $('start'), statusLine = $('status'), bar = $('progress');
  let state = null;   // window.ostramere, from attach()
  let point = null;   // the start point run to

  return {
    attach(s) { state = s; },
    // A run ahead to `to` (a start point) begins.
    begin(to) {
      point = to;
      state.seeking = true;
      overlay.hidden = false;
      overlay.classList.add('seeking');
      bar.hidden = false;
      bar.classList.add('indeterminate');
      bar.firstElementChild.style.width = '0%';
      statusLine.textContent = 'Going to ' + point.label + '…';
      startButton.disabled = true;
    },
    // A line of the program's error output ("running ahead to …: music m:ss.t").
    progress(line) {
      const m = /running ahead to .*: music (\d+):(\d+)\.(\d)/.exec(line);
      if (!state.seeking || !m || !point || point.ms <= 0) return;
      const ms = (Number(m[1]) * 60 + Number(m[2])) * 1000 + Number(m[3]) * 100;
      const pct = Math.min(99, Math.floor(ms * 100 / point.ms));
      bar.classList.remove('indeterminate');
      bar.firstElementChild.style.width = pct + '%';
      bar.setAttribute('aria-valuenow', String(pct));
      statusLine.textContent = 'Going to ' + point.label + '… ' + pct + ' %';
    },
    // Frames arrive (or the run ended): the overlay gives way to the show.
    end() {
      if (!state.seeking) return;
      state.seeking = false;
      overlay.classList.remove('seeking');
      bar.classList.remove('indeterminate');
      bar.hidden = true;
      overlay.hidden = true;
    },
  };
})();
