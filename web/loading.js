// Loading the show: the site's index (site.json), the program and its data
// pack fetched with one progress bar over every byte, the program's script,
// the checkpoint files start points ask for (each fetched once, when first
// needed), and the data written into the program's file system.
'use strict';
window.ostramereLoading = (function () {
  const bar = document.getElementById('progress'), statusLine = document.getElementById('status');

  function setProgress(done, total) {
    const pct = total > 0 ? Math.min(100, Math.floor(done * 100 / total)) : 0;
    bar.firstElementChild.style.width = pct + '%';
    bar.setAttribute('aria-valuenow', String(pct));
    statusLine.textContent = 'Loading… ' + pct + ' %';
  }

  // Every file of `names` at once, the bar over their sum (`sizes`: bytes
  // by name; a file missing there goes by its Content-Length).
  async function fetchAll(names, sizes) {
    const total = names.reduce((s, n) => s + (sizes[n] || 0), 0);
    const got = names.map(() => 0);
    const report = () => setProgress(got.reduce((a, b) => a + b, 0), total);
    return Promise.all(names.map(async (name, i) => {
      const response = await fetch(name);
      if (!response.ok) throw new Error(name + ': HTTP ' + response.status);
      const length = sizes[name] || Number(response.headers.get('Content-Length')) || 0;
      const out = new Uint8Array(length);
      const reader = response.body.getReader();
      let at = 0, chunks = null;
      for (;;) {
        const { done, value } = await reader.read();
        if (done) break;
        if (chunks || at + value.length > out.length) {
          chunks = chunks || [out.subarray(0, at)];
          chunks.push(value);
        } else {
          out.set(value, at);
        }
        at += value.length;
        got[i] = at;
        report();
      }
      if (chunks) {
        const whole = new Uint8Array(at);
        let p = 0;
        for (const c of chunks) { whole.set(c, p); p += c.length; }
        return whole;
      }
      return at === out.length ? out : out.subarray(0, at);
    }));
  }

  function loadScript(src) {
    return new Promise((resolve, reject) => {
      const s = document.createElement('script');
      s.src = src;
      s.onload = resolve;
      s.onerror = () => reject(new Error(src + ': failed to load'));
      document.head.appendChild(s);
    });
  }

  const fetchedCheckpoints = new Map();

  return {
    // The site's index: file sizes, the data pack's files, the timeline and
    // the checkpoints.
    async readIndex() {
      const response = await fetch('site.json');
      if (!response.ok) throw new Error('site.json: HTTP ' + response.status);
      return response.json();
    },

    // The program and the data pack (`sizes`: the index's), then the
    // program's script; resolves { wasm, data } (the bytes).
    async download(sizes) {
      const [wasm, data] = await fetchAll(['ostramere.wasm', 'data.pack'], sizes);
      await loadScript('ostramere.js');
      return { wasm, data };
    },

    // A checkpoint file's bytes, fetched the first time and kept for later
    // seeks; rejects when it does not arrive.
    async checkpoint(file) {
      if (fetchedCheckpoints.has(file)) return fetchedCheckpoints.get(file);
      const response = await fetch('checkpoints/' + encodeURIComponent(file));
      if (!response.ok) throw new Error('checkpoints/' + file + ': HTTP ' + response.status);
      const bytes = new Uint8Array(await response.arrayBuffer());
      fetchedCheckpoints.set(file, bytes);
      return bytes;
    },

    // Writes the data pack's files under /data in the program's file system
    // `FS`, the checkpoint ({ file, bytes }, or null) and the song cache
    // (bytes, or null) under /data/checkpoints (data_files.js).
    writeData(FS, files, pack, checkpoint, songCache) {
      window.ostramereDataFiles.write(FS, files, pack);
      if (checkpoint || songCache) FS.mkdir('/data/checkpoints');
      if (checkpoint) FS.writeFile('/data/checkpoints/' + checkpoint.file, checkpoint.bytes);
      if (songCache) FS.writeFile('/data/checkpoints/song.ocache', songCache);
    },
  };
})();
