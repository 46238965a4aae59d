// ?bench: the program's per-scene frame costs as a table under the picture
// (frames, mean, median, 99th percentile and worst in ms).
'use strict';
window.ostramereBenchTable = {
  // `b`: the program's bench report ({ scenes: [{ name, frames, mean_ms, p50_ms, p99_ms, max_ms }] }).
  show(b) {
    const pre = document.getElementById('bench');
    const pad = (s, n) => String(s).padStart(n);
    const lines = ['scene            frames   mean    p50    p99    max  (ms)'];
    for (const s of b.scenes) {
      lines.push(s.name.padEnd(16) + pad(s.frames, 7) + pad(s.mean_ms.toFixed(2), 7) +
                 pad(s.p50_ms.toFixed(2), 7) + pad(s.p99_ms.toFixed(2), 7) + pad(s.max_ms.toFixed(2), 7));
    }
    pre.textContent = lines.join('\n');
    pre.hidden = false;
  },
};
