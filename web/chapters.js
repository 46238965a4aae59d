// The show's chapters for the page, read from the timeline the site's index
// (site.json) carries: each chapter's name (what ?start= takes), label and
// music time, and the show's end. Knows nothing of the page around it.
'use strict';
window.ostramereChapters = {
  // site.json's `timeline` -> { chapters: [{ name, label, ms }], scenes:
  // [{ name, ms }] (every scene, in the show's order), endMs }.
  fromTimeline(timeline) {
    if (!timeline || !Array.isArray(timeline.scenes) || !(timeline.end_ms > 0))
      throw new Error('site.json: no timeline of the show\'s scenes');
    const chapters = timeline.scenes.filter((s) => s.chapter)
      .map((s) => ({ name: String(s.name), label: String(s.label), ms: Number(s.first_ms) }));
    const scenes = timeline.scenes.map((s) => ({ name: String(s.name), ms: Number(s.first_ms) }));
    return { chapters, scenes, endMs: Number(timeline.end_ms) };
  },

  // The checkpoint file the program would restore for a start point (a
  // scene's name, or a music time in ms), as it chooses: the start's own
  // scene by name; for a time, the last scene begun by then whose
  // checkpoint lies before it (the first scene's always serves). `listed`:
  // site.json's checkpoints ({ file: { music_ms } }); `suffix`: the kind of
  // run ('-gentle', '-w', ...). Null when the site has none that serves.
  checkpointFor(scenes, listed, point, suffix) {
    if (!listed) return null;
    for (let i = scenes.length - 1; i >= 0; i--) {
      const s = scenes[i];
      if (point.scene ? point.scene !== s.name : s.ms > point.ms) continue;
      const file = s.name + suffix + '.ockp';
      const c = listed[file];
      if (!c) { if (point.scene) return null; continue; }
      if (!point.scene && c.music_ms >= point.ms && i > 0) continue;
      return file;
    }
    return null;
  },
};
