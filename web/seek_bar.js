// The seek bar in the control bar: the show's length in music time with a
// mark at each chapter, how far the show has got, and a thumb to drag. A
// click or a drag's release asks for that moment (a press near a mark takes
// the chapter's own start); while dragging, the bar and the time show where
// it would land. Knows nothing of how a seek is carried out: it calls the
// handler it was given.
'use strict';
window.ostramereSeekBar = (function () {
  const snapPx = 8;  // a press this close to a chapter's mark takes the chapter
  let root = null, fill = null, thumb = null;
  let endMs = 0, chapters = [], onSeek = () => {}, onPreview = () => {};
  let dragging = null;  // the pointer's id while a drag is on

  // Where a pointer at clientX lands: { ms, chapter } (chapter: the name
  // when a mark is within reach).
  function landing(clientX) {
    const r = root.getBoundingClientRect();
    if (!(r.width > 0) || !(endMs > 0)) return { ms: 0, chapter: null };
    const x = Math.max(0, Math.min(r.width, clientX - r.left));
    let best = null;
    for (const c of chapters) {
      const d = Math.abs(c.ms * r.width / endMs - x);
      if (d <= snapPx && (!best || d < best.d)) best = { d, c };
    }
    if (best) return { ms: best.c.ms, chapter: best.c.name };
    return { ms: Math.min(endMs - 1, Math.floor(x * endMs / r.width)), chapter: null };
  }

  function place(ms) {
    const f = endMs > 0 ? Math.max(0, Math.min(1, ms / endMs)) : 0;
    fill.style.width = (f * 100).toFixed(3) + '%';
    thumb.style.left = (f * 100).toFixed(3) + '%';
    root.setAttribute('aria-valuenow', String(Math.round(ms / 1000)));
  }

  function build(slot) {
    root = document.createElement('div');
    root.className = 'seekbar';
    root.setAttribute('role', 'slider');
    root.setAttribute('aria-label', 'Seek (left and right arrows: 10 s)');
    root.setAttribute('aria-valuemin', '0');
    root.innerHTML = '<div class="track"><div class="fill"></div></div><div class="thumb"></div>';
    fill = root.querySelector('.fill');
    thumb = root.querySelector('.thumb');
    slot.appendChild(root);

    root.addEventListener('pointerdown', (e) => {
      if (e.button !== 0 || dragging !== null) return;
      e.preventDefault();
      dragging = e.pointerId;
      try { root.setPointerCapture(e.pointerId); } catch (err) { /* released already */ }
      root.classList.add('dragging');
      const l = landing(e.clientX);
      place(l.ms);
      onPreview(l.ms);
    });
    root.addEventListener('pointermove', (e) => {
      if (e.pointerId !== dragging) return;
      const l = landing(e.clientX);
      place(l.ms);
      onPreview(l.ms);
    });
    const release = (e, go) => {
      if (e.pointerId !== dragging) return;
      dragging = null;
      root.classList.remove('dragging');
      onPreview(null);
      if (go) onSeek(landing(e.clientX));
    };
    root.addEventListener('pointerup', (e) => release(e, true));
    root.addEventListener('pointercancel', (e) => release(e, false));
  }

  return {
    // Builds the bar into `slot` (the control bar's .seek) once.
    create(slot) { if (!root) build(slot); },
    // The show's length and chapters ([{ name, label, ms }]); `seek({ ms,
    // chapter })` on a click or release, `preview(ms or null)` while dragging.
    attach(showEndMs, list, seek, preview) {
      endMs = showEndMs;
      chapters = list;
      onSeek = seek;
      onPreview = preview;
      root.setAttribute('aria-valuemax', String(Math.round(endMs / 1000)));
      for (const old of root.querySelectorAll('.mark')) old.remove();
      for (const c of chapters) {
        const m = document.createElement('div');
        m.className = 'mark';
        m.dataset.chapter = c.name;
        m.title = c.label;
        m.style.left = (endMs > 0 ? c.ms * 100 / endMs : 0).toFixed(3) + '%';
        root.firstElementChild.appendChild(m);
      }
    },
    // Where the show is (ignored while a drag shows where it would land).
    show(ms) { if (root && dragging === null && ms !== null) place(ms); },
    get dragging() { return dragging !== null; },
  };
})();
