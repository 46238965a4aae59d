// The show's chapters for the page, read from the timeline the site's index
// (site.json) carries: each chapter's name (what ?start= takes), label and
// music time, and the show's end. Knows nothing of the page around it.
'use strict';
window.ostramereChapters = {
  // site.json's `timeline` -> { chapters: [{ name, label, ms }], endMs }.
  fromTimeline(timeline) {
    if (!timeline || !Array.isArray(timeline.scenes) || !(timeline.end_ms > 0))
      throw new Error('site.json: no timeline of the show\'s scenes');
    const chapters = timeline.scenes.filter((s) => s.chapter)
      .map((s) => ({ name: String(s.name), label: String(s.label), ms: Number(s.first_ms) }));
    return { chapters, endMs: Number(timeline.end_ms) };
  },
};
