// Drives the web page in headless Chromium (Debian's, through puppeteer-core)
// against a local server, and checks it as a viewer and a test would:
//   sim:   the simulated run gives the native capture's frames, hash for hash
//   live:  autoplay presents about 33 frames/s, music time keeps to the wall
//          clock within 5 %, Escape ends the show, the page logs no errors
//   bench: (optional) prints the page's per-scene frame-cost table
//   gentle: (with --gentle-reference) ?sim&gentle gives the native --gentle capture's frames
// usage: node browser_test.js SITE_DIR NATIVE_FRAMES_CSV SIM_MS [--bench OUT.json]
//        [--screenshot OUT.png] [--gentle-reference GENTLE_FRAMES_CSV]
// Every step has its own time limit; the whole run has one too.
'use strict';
const { spawn } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

const args = process.argv.slice(2);
const option = (name) => {
  const i = args.indexOf(name);
  if (i < 0) return null;
  const v = args[i + 1];
  args.splice(i, 2);
  return v;
};
const benchOut = option('--bench');
const screenshotOut = option('--screenshot');
const onlySteps = option('--only');
const gentleCsv = option('--gentle-reference');
const [siteDir, nativeCsv, simMsArg] = args;
if (!siteDir || !nativeCsv || !simMsArg) {
  console.error('usage: node browser_test.js SITE_DIR NATIVE_FRAMES_CSV SIM_MS [--bench OUT.json] [--screenshot OUT.png] [--only sim,live,bench]');
  process.exit(2);
}
const simMs = Number(simMsArg);
const steps = new Set((onlySteps || 'sim,live' + (benchOut ? ',bench' : '') + (gentleCsv ? ',gentle' : '')).split(','));
const chromium = process.env.OSTRA_CHROMIUM || '/usr/bin/chromium';

const whole = setTimeout(() => { console.error('browser test: whole-run time limit reached'); cleanup(1); }, 20 * 60 * 1000);
let server = null, browser = null, profile = null;
let passed = 0, failed = 0;

function cleanup(code) {
  clearTimeout(whole);
  const done = () => {
    if (server) server.kill('SIGTERM');
    if (profile) fs.rmSync(profile, { recursive: true, force: true });
    process.exit(code);
  };
  if (browser) browser.close().then(done, done); else done();
  setTimeout(done, 10000).unref();
}

function withTimeout(promise, ms, what) {
  let timer;
  const limit = new Promise((_, reject) => { timer = setTimeout(() => reject(new Error(what + ': no result within ' + ms / 1000 + ' s')), ms); });
  return Promise.race([promise, limit]).finally(() => clearTimeout(timer));
}

function check(ok, what) {
  if (ok) { passed++; console.log('ok   ' + what); } else { failed++; console.log('FAIL ' + what); }
  return ok;
}

function startServer() {
  return withTimeout(new Promise((resolve, reject) => {
    server = spawn('python3', ['-u', '-m', 'http.server', '--bind', '127.0.0.1', '--directory', siteDir, '0'],
                   { stdio: ['ignore', 'pipe', 'pipe'] });
    let out = '';
    server.stdout.on('data', (d) => {
      out += d;
      const m = /port (\d+)/.exec(out);
      if (m) resolve(Number(m[1]));
    });
    server.stderr.on('data', () => {});  // request log
    server.on('exit', (c) => reject(new Error('http.server exited with ' + c)));
  }), 20000, 'starting the web server');
}

function readNativeFrames(file) {
  const lines = fs.readFileSync(file, 'utf8').trim().split('\n');
  const head = lines[0].split(',');
  const col = (n) => { const i = head.indexOf(n); if (i < 0) throw new Error(file + ': no column ' + n); return i; };
  const [ci, ct, ch] = [col('frame'), col('tick_ms'), col('hash')];
  return lines.slice(1).map((l) => { const f = l.split(','); return { idx: Number(f[ci]), tick: Number(f[ct]), hash: f[ch] }; });
}

async function openPage(url, errors) {
  const page = await browser.newPage();
  page.on('pageerror', (e) => errors.push('page error: ' + e.message));
  page.on('console', (m) => { if (m.type() === 'error') errors.push('console error: ' + m.text()); });
  page.on('requestfailed', (r) => errors.push('request failed: ' + r.url()));
  await page.setViewport({ width: 960, height: 720 });
  await withTimeout(page.goto(url, { waitUntil: 'load' }), 60000, 'loading ' + url);
  return page;
}

async function waitPhase(page, phases, ms, what) {
  await withTimeout(page.waitForFunction((p) => window.ostramere && (p.includes(window.ostramere.phase) || window.ostramere.error),
                                         { polling: 200, timeout: 0 }, phases), ms, what);
  const err = await page.evaluate(() => window.ostramere.error);
  if (err) throw new Error(what + ': page reports ' + err);
}

async function simStep(base, query = '', csv = nativeCsv, what = 'simulated run') {
  const errors = [];
  const native = readNativeFrames(csv).filter((f) => f.tick < simMs);
  const page = await openPage(base + '/?sim' + query + '&quit-at=' + simMs, errors);
  const t0 = Date.now();
  await waitPhase(page, ['ended'], 10 * 60 * 1000, what);
  const frames = (await page.evaluate(() => window.ostramere.frames)).filter((f) => f.tick < simMs);
  console.log(`sim: ${frames.length} frames in ${((Date.now() - t0) / 1000).toFixed(1)} s; native reference ${native.length}`);
  let first = -1, differing = 0;
  for (let i = 0; i < Math.max(frames.length, native.length); i++) {
    const a = frames[i], b = native[i];
    if (!a || !b || a.idx !== b.idx || a.tick !== b.tick || a.hash !== b.hash) {
      if (first < 0) first = i;
      if (differing++ < 20) console.log('differs at', i, 'browser', JSON.stringify(a), 'native', JSON.stringify(b));
    }
  }
  if (differing) console.log(`${differing} frames differ`);
  check(native.length > 1000, `native reference has the frames of ${simMs} ms (${native.length})`);
  check(first < 0 && frames.length === native.length, what + ': every frame hash equals the native capture\'s');
  check(errors.length === 0, what + ': no page errors' + (errors.length ? ' (' + errors.join('; ') + ')' : ''));
  await page.close();
}

async function liveStep(base) {
  const errors = [];
  const page = await openPage(base + '/?autoplay', errors);
  await waitPhase(page, ['playing'], 60000, 'autoplay start');
  await withTimeout(page.waitForFunction(() => window.ostramere.music_ms !== null && window.ostramere.music_ms > 500,
                                         { polling: 100, timeout: 0 }), 60000, 'music start');
  const sample = () => page.evaluate(() => ({ t: performance.now(), music: window.ostramere.music_ms, frame: window.ostramere.frame }));
  const a = await sample();
  await new Promise((r) => setTimeout(r, 12000));
  const b = await sample();
  if (screenshotOut) await page.screenshot({ path: screenshotOut });
  const wall = b.t - a.t, music = b.music - a.music, fps = (b.frame - a.frame) * 1000 / wall;
  console.log(`live: ${wall.toFixed(0)} ms wall, ${music} ms music, ${fps.toFixed(1)} frames/s`);
  check(Math.abs(music - wall) <= 0.05 * wall, `live: music time advances with the wall clock (${music} ms in ${wall.toFixed(0)} ms)`);
  check(fps >= 30 && fps <= 36, `live: about 33 frames per second (${fps.toFixed(1)})`);
  await page.keyboard.press('Escape');
  let ended = true;
  try { await waitPhase(page, ['ended'], 10000, 'Escape'); } catch (e) { ended = false; console.log(e.message); }
  check(ended, 'live: Escape ends the show');
  check(errors.length === 0, 'live: no page errors' + (errors.length ? ' (' + errors.join('; ') + ')' : ''));
  await page.close();
}

async function benchStep(base) {
  const errors = [];
  const page = await openPage(base + '/?bench', errors);
  await waitPhase(page, ['ended'], 15 * 60 * 1000, 'bench run');
  const bench = await page.evaluate(() => window.ostramere.bench);
  fs.writeFileSync(benchOut, JSON.stringify(bench, null, 1) + '\n');
  console.log('scene            frames   mean    p50    p99    max  (ms)');
  for (const s of bench.scenes) {
    console.log(s.name.padEnd(16) + String(s.frames).padStart(7) + [s.mean_ms, s.p50_ms, s.p99_ms, s.max_ms].map((v) => v.toFixed(2).padStart(7)).join(''));
  }
  check(errors.length === 0, 'bench run: no page errors' + (errors.length ? ' (' + errors.join('; ') + ')' : ''));
  await page.close();
}

(async () => {
  const port = await startServer();
  const base = 'http://127.0.0.1:' + port;
  profile = fs.mkdtempSync(path.join(os.tmpdir(), 'ostra-chromium-'));
  browser = await withTimeout(puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: profile,
    args: ['--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync',
           '--autoplay-policy=no-user-gesture-required'],
  }), 60000, 'starting chromium');
  // Reduce flashing: the limited frames are the desktop --gentle capture's.
  const gentleStep = (b) => simStep(b, '&gentle', gentleCsv, 'simulated run with gentle');
  for (const [name, fn] of [['sim', simStep], ['live', liveStep], ['bench', benchStep], ['gentle', gentleStep]]) {
    if (!steps.has(name)) continue;
    try { await fn(base); } catch (e) { check(false, name + ': ' + e.message); }
  }
  console.log(`${passed} passed, ${failed} failed`);
  cleanup(failed ? 1 : 0);
})().catch((e) => { console.error('browser test:', e && e.stack ? e.stack : e); cleanup(1); });
