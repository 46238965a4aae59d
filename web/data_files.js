// The data pack's files written under /data in a program's file system: by
// the page before each run, and by the song cache's worker.
'use strict';
self.ostramereDataFiles = {
  // `files`: the site index's list of { path, offset, size } into `pack`.
  write(FS, files, pack) {
    FS.mkdir('/data');
    const made = new Set(['/data']);
    for (const f of files) {
      const path = '/data/' + f.path;
      const parts = path.split('/');
      for (let i = 2; i < parts.length; i++) {
        const dir = parts.slice(0, i).join('/');
        if (!made.has(dir)) { FS.mkdir(dir); made.add(dir); }
      }
      FS.writeFile(path, pack.subarray(f.offset, f.offset + f.size));
    }
  },
};
