// The link to the moment playing (C): the page's address at the music time
// now, rounded down to a tenth of a second, copied to the clipboard (or
// shown where it cannot be), with a short note over the picture. Keeps
// window.ostramere.link.
'use strict';
window.ostramereMomentLink = (function () {
  const points = window.ostramereStartPoints;
  const canvas = document.getElementById('canvas');
  let state = null;  // window.ostramere, from attach()
  let toastTimer = 0;

  function toast(text) {
    const t = document.getElementById('toast');
    if (!t) return;
    t.textContent = text;
    t.hidden = false;
    clearTimeout(toastTimer);
    toastTimer = setTimeout(() => { t.hidden = true; }, 2500);
  }

  function copy() {
    if (state.music_ms === null && state.phase !== 'playing') return;
    const ms = Math.max(0, Math.min(points.endMs - 1, Math.floor((state.music_ms || 0) / 100) * 100));
    const link = points.link(String(ms));
    state.link = link;
    const shown = () => toast('Link to ' + points.formatMs(ms) + ' copied');
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
      toast(ok ? 'Link to ' + points.formatMs(ms) + ' copied' : link);
      canvas.focus();
    };
    if (navigator.clipboard && navigator.clipboard.writeText) navigator.clipboard.writeText(link).then(shown, fallback);
    else fallback();
  }

  document.addEventListener('keydown', (e) => {
    if (e.ctrlKey || e.altKey || e.metaKey) return;
    if ((e.key === 'c' || e.key === 'C') && state.phase === 'playing' && !state.seeking) copy();
  });

  return { attach(s) { state = s; } };
})();
