// The song cache, made in the background while the page waits: a second
// instance of the program renders the whole song once (--write-song-cache)
// and hands the file back. A start point then plays the song from it
// instead of rendering everything before the start again.
'use strict';
importScripts('data_files.js', 'ostramere.js');

// { module: the compiled program, files: the index's data list, pack }
// -> { bytes } (transferred) or { error }.
self.onmessage = (e) => {
  const { module, files, pack } = e.data;
  const out = '/song.ocache';
  let done = false;
  const finish = (message, transfer) => {
    if (done) return;
    done = true;
    self.postMessage(message, transfer || []);
  };
  const notes = [];
  // whatever goes wrong inside the program's glue still answers the page
  self.onerror = (msg) => { finish({ error: String(msg) }); return true; };
  self.onunhandledrejection = (ev) => finish({ error: String(ev.reason) });
  self.createOstramere({
    arguments: ['--data', '/data', '--write-song-cache', out],
    instantiateWasm(imports, ready) {
      WebAssembly.instantiate(module, imports).then((instance) => ready(instance, module),
                                                    (err) => finish({ error: String(err) }));
      return {};
    },
    ostra: {
      ended(status) {
        // (a turn later: not from inside the program that is ending)
        setTimeout(() => {
          if (status !== 0) { finish({ error: notes.join('; ') || 'exit ' + status }); return; }
          try {
            const bytes = self.__songFS.readFile(out);
            finish({ bytes }, [bytes.buffer]);
          } catch (err) {
            finish({ error: String(err) });
          }
        }, 0);
      },
    },
    preRun: [(m) => { self.__songFS = m.FS; self.ostramereDataFiles.write(m.FS, files, pack); }],
    print: () => {},
    printErr: (t) => notes.push(t),
    onAbort: (what) => finish({ error: 'the program stopped: ' + what }),
  }).catch((err) => finish({ error: String(err) }));
};
