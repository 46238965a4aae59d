// Start points: what ?start= takes (a music time in ms before the show's
// end, or a chapter's name; anything else is refused with a message before
// the program runs), the link that opens the page at one, and the chapter
// links on the start overlay and the end screen. Starts nothing itself.
'use strict';
window.ostramereStartPoints = (function () {
  const gentleSwitch = document.getElementById('gentle');
  let chapters = [], endMs = 0;

  function formatMs(ms) {
    const s = Math.floor(ms / 1000);
    return Math.floor(s / 60) + ':' + String(s % 60).padStart(2, '0');
  }

  // null for no start point; else { text (the program's --start), ms,
  // label, scene (the chapter's name, or null for a time) }.
  function parse(text) {
    if (text === null || text === '') return null;
    if (/^[0-9]+$/.test(text)) {
      const ms = Number(text);
      if (ms >= endMs) throw new Error('start=' + text + ' is past the show\'s end (' + endMs + ' ms of music)');
      return { text: String(ms), ms, label: formatMs(ms), scene: null };
    }
    const c = chapters.find((x) => x.name === text);
    if (!c) throw new Error('start=' + text + ' is neither a music time in ms nor a scene (' +
                            chapters.map((x) => x.name).join(', ') + ')');
    return { text: c.name, ms: c.ms, label: c.label, scene: c.name };
  }

  // The address of this page starting at `text` (a link to share: the
  // start point and Reduce flashing when it is on, none of the test
  // parameters).
  function link(text) {
    return location.origin + location.pathname + '?start=' + encodeURIComponent(text) +
      (gentleSwitch.checked ? '&gentle' : '');
  }

  // Chapter links carry the switch as it stands.
  gentleSwitch.addEventListener('change', () => {
    for (const a of document.querySelectorAll('#chapters a')) a.href = link(a.dataset.start);
  });

  return {
    // The chapters ([{ name, label, ms }]) and the show's end in ms of
    // music, once the timeline is known.
    attach(list, showEndMs) { chapters = list; endMs = showEndMs; },
    get endMs() { return endMs; },
    parse,
    link,
    formatMs,
    // The chapter links in #chapters; a plain click on one calls
    // pick(name) instead of following it (one for a new tab keeps the link).
    buildChapters(pick) {
      const nav = document.getElementById('chapters');
      if (!nav) return;
      for (const c of chapters) {
        const a = document.createElement('a');
        a.href = link(c.name);
        a.dataset.start = c.name;
        a.innerHTML = '<span></span><small></small>';
        a.firstChild.textContent = c.label;
        a.lastChild.textContent = formatMs(c.ms);
        a.addEventListener('click', (e) => {
          if (e.ctrlKey || e.metaKey || e.shiftKey || e.button !== 0) return;  // new tab: the plain link
          e.preventDefault();
          pick(c.name);
        });
        nav.appendChild(a);
      }
    },
  };
})();
