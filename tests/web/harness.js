// What the browser tests' runs share beyond the browsers themselves
// (browsers.js): checks and their count, a time limit on the whole run and
// its end (what it started closed in reverse, its children stopped), the
// native capture's frames (frames.csv) and a browser's frames compared with
// them, and the machine's load average for timing figures.
'use strict';
const fs = require('fs');
const os = require('os');
const { stopChildren } = require('./browsers.js');

// A run called `name` (for its messages) that may take `limitMs` in all.
// `closers`: what to close at the end, pushed as it is started (async
// functions; the last pushed is closed first).
function createRun(name, limitMs) {
  const closers = [];
  let passed = 0, failed = 0;
  const whole = setTimeout(() => { console.error(name + ': whole-run time limit reached'); finish(1); }, limitMs);

  // Ends the process with `code` once every closer has run (30 s at most).
  async function finish(code) {
    clearTimeout(whole);
    setTimeout(() => { stopChildren(); process.exit(code); }, 30000).unref();
    for (const close of closers.reverse()) { try { await close(); } catch (e) { /* already gone */ } }
    stopChildren();
    process.exit(code);
  }

  // Prints and counts one check; returns `ok`.
  function check(ok, what) {
    if (ok) { passed++; console.log('ok   ' + what); } else { failed++; console.log('FAIL ' + what); }
    return ok;
  }

  // Prints the count and ends the run, with status 1 when a check failed.
  function end() {
    console.log(`${passed} passed, ${failed} failed`);
    return finish(failed ? 1 : 0);
  }

  return { closers, check, finish, end };
}

// A native capture's frames.csv: [{ idx, tick, music (null before the
// song), hash }]. Throws naming the file when a column is missing.
function readNativeFrames(file) {
  const lines = fs.readFileSync(file, 'utf8').trim().split('\n');
  const head = lines[0].split(',');
  const col = (n) => { const i = head.indexOf(n); if (i < 0) throw new Error(file + ': no column ' + n); return i; };
  const [ci, ct, cm, ch] = [col('frame'), col('tick_ms'), col('music_ms'), col('hash')];
  return lines.slice(1).map((l) => {
    const f = l.split(',');
    return { idx: Number(f[ci]), tick: Number(f[ct]), music: f[cm] === '' ? null : Number(f[cm]), hash: f[ch] };
  });
}

// A frame as the page lists it: { idx, tick, hash }.
const strip = (f) => ({ idx: f.idx, tick: f.tick, hash: f.hash });

// Lists the frames where `got` (from the browser called `side`) and `want`
// differ (index, tick or hash; the first `shown` of them) and returns how
// many differ, counting a missing frame on either side.
function compareFrames(label, got, want, side = 'browser', shown = 20) {
  let differing = 0;
  for (let i = 0; i < Math.max(got.length, want.length); i++) {
    const a = got[i], b = want[i];
    if (!a || !b || a.idx !== b.idx || a.tick !== b.tick || a.hash !== b.hash) {
      if (differing++ < shown) console.log(label + ': differs at', i, side, JSON.stringify(a), 'native', JSON.stringify(b));
    }
  }
  if (differing) console.log(`${label}: ${differing} frames differ`);
  return differing;
}

// The load average (1, 5 and 15 min), printed beside timing figures.
const load = () => os.loadavg().map((v) => v.toFixed(2)).join(' ');

module.exports = { createRun, readNativeFrames, strip, compareFrames, load };
