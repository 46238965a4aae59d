// Drives the web page in headless Chromium and Firefox ESR (Debian's, through
// puppeteer-core) against a local server, and checks it as a viewer and a
// test would, in each browser:
//   sim:   the simulated run gives the native capture's frames, hash for hash
//   start: ?sim&start=130000 lists the full run's frames from that point on
//          (same index, tick and hash), none before, restored from the
//          greetings scene's checkpoint; ?sim&start=corner from the corner
//          scene's; a damaged checkpoint falls back to the run ahead
//   live:  autoplay presents about 33 frames/s with music time on the wall
//          clock (Firefox plays into a PulseAudio null sink the test starts),
//          C copies a link to the moment, Escape ends the show and the end
//          screen lists the chapters, the page logs no errors
//   hold:  live from ?start=beat with sound: a 6-s interruption (AudioContext
//          suspended, page hidden), a 5-s pause (Space, the bar's button), K,
//          the Media Session, "Tap to resume" (Chromium), a stop while paused
//          (hold_checks.js)
//   seek:  live: a click on the seek bar at a chapter's mark lands in that
//          scene, the right arrow moves about 10 s on, the Media Session's
//          seekto lands where it asks, a seek while paused plays on
//   chapter: (Chromium) the Final room chapter link on the start screen plays
//          live from the final scene's checkpoint, at full speed and with
//          the CPU slowed 6x; prints the time from the click to live play
//   phone: (Chromium) a phone held upright and turned: the picture whole,
//          4:3, filling one direction, controls big enough to touch, a tap
//          starts the show
//   bench: (optional, Chromium) prints the page's per-scene frame-cost table
//   gentle: (with --gentle-reference) ?sim&gentle over the reference's
//          length gives the native --gentle capture's frames
// usage: node browser_test.js SITE_DIR NATIVE_FRAMES_CSV SIM_MS
//        [--browsers chromium,firefox] [--only sim,start,live,hold,seek,chapter,phone,bench,gentle]
//        [--bench OUT.json] [--screenshot OUT.png]
//        [--gentle-reference GENTLE_FRAMES_CSV --gentle-ms MS]
// SIM_MS 0 compares the whole show. Every step has its own time limit; the
// whole run has one too.
'use strict';
const fs = require('fs');
const web = require('./browsers.js');
const holds = require('./hold_checks.js');
const { createRun, readNativeFrames, strip, compareFrames } = require('./harness.js');
const { withTimeout, sleep, openPage, waitPhase } = web;

const args = process.argv.slice(2);
const option = (name) => web.takeOption(args, name);
const benchOut = option('--bench');
const screenshotOut = option('--screenshot');
const onlySteps = option('--only');
const browserList = (option('--browsers') || 'chromium,firefox').split(',');
const gentleCsv = option('--gentle-reference');
const gentleMs = Number(option('--gentle-ms') || 0);
const [siteDir, nativeCsv, simMsArg] = args;
if (!siteDir || !nativeCsv || simMsArg === undefined) {
  console.error('usage: node browser_test.js SITE_DIR NATIVE_FRAMES_CSV SIM_MS [--browsers chromium,firefox] ' +
                '[--only sim,start,live,hold,seek,chapter,phone,bench,gentle] [--bench OUT.json] [--screenshot OUT.png] ' +
                '[--gentle-reference GENTLE_FRAMES_CSV --gentle-ms MS]');
  process.exit(2);
}
const simMs = Number(simMsArg) > 0 ? Number(simMsArg) : Infinity;
const steps = new Set((onlySteps || 'sim,start,live,hold,seek,chapter,phone' + (benchOut ? ',bench' : '') +
                       (gentleCsv ? ',gentle' : '')).split(','));
const startMs = 130000;
const liveFpsMin = 0.8 * 33;

const run = createRun('browser test', 45 * 60 * 1000);
const { check, finish, closers } = run;

const noErrors = (errors) => (errors.length ? ' (' + errors.join('; ') + ')' : '');

const native = readNativeFrames(nativeCsv);

async function simStep(name, browser, base) {
  const errors = [];
  const want = native.filter((f) => f.tick < simMs).map(strip);
  const url = base + '/?sim' + (Number.isFinite(simMs) ? '&quit-at=' + simMs : '');
  const page = await openPage(browser, url, errors);
  const t0 = Date.now();
  await waitPhase(page, ['ended'], 20 * 60 * 1000, name + ' simulated run');
  const got = (await page.evaluate(() => window.ostramere.frames)).filter((f) => f.tick < simMs);
  console.log(`${name} sim: ${got.length} frames in ${((Date.now() - t0) / 1000).toFixed(1)} s; native reference ${want.length}`);
  check(want.length > 1000, `${name} sim: the native reference has frames (${want.length})`);
  check(compareFrames(name + ' sim', got, want) === 0,
        `${name} sim: every frame (index, tick, hash) equals the native capture's`);
  check(errors.length === 0, `${name} sim: no page errors` + noErrors(errors));
  await page.close();
}

// Reduce flashing: ?sim&gentle over the first gentleMs gives the desktop
// --gentle capture's frames, which differ from the plain show's there.
async function gentleStep(name, browser, base) {
  const errors = [];
  const want = readNativeFrames(gentleCsv).filter((f) => f.tick < gentleMs).map(strip);
  const plain = native.filter((f) => f.tick < gentleMs).map(strip);
  const page = await openPage(browser, base + '/?sim&gentle&quit-at=' + gentleMs, errors);
  const t0 = Date.now();
  await waitPhase(page, ['ended'], 10 * 60 * 1000, name + ' simulated run with gentle');
  const got = (await page.evaluate(() => window.ostramere.frames)).filter((f) => f.tick < gentleMs);
  console.log(`${name} gentle: ${got.length} frames in ${((Date.now() - t0) / 1000).toFixed(1)} s; native reference ${want.length}`);
  check(want.length > 1000, `${name} gentle: the native --gentle reference has frames (${want.length})`);
  // The plain reference may be shorter (SIM_MS): then only what it covers.
  check(want.length === plain.length ? want.some((f, i) => f.hash !== plain[i].hash) : plain.length < want.length,
        `${name} gentle: the limiter changed frames of the reference (or the plain reference is shorter)`);
  check(compareFrames(name + ' gentle', got, want) === 0,
        `${name} gentle: every frame (index, tick, hash) equals the native --gentle capture's`);
  check(errors.length === 0, `${name} gentle: no page errors` + noErrors(errors));
  await page.close();
}

// A checkpoint the program refuses (its payload damaged on the way, the
// request answered by the test): the start runs ahead from the beginning
// and gives the same frames. Chromium only.
async function damagedCheckpoint(name, browser, base, wantCorner, corner) {
  const errs3 = [];
  const p3 = await browser.newPage();
  p3.on('pageerror', (e) => errs3.push('page error: ' + e.message));
  await p3.setRequestInterception(true);
  p3.on('request', (req) => {
    if (!/checkpoints\/corner\.ockp$/.test(req.url())) { req.continue(); return; }
    const bytes = fs.readFileSync(siteDir + '/checkpoints/corner.ockp');
    bytes[bytes.length - 100] ^= 0xff;
    req.respond({ status: 200, contentType: 'application/octet-stream', body: bytes });
  });
  const shortQuit = corner.music_ms + 17000;
  await withTimeout(p3.goto(base + '/?sim&start=corner&quit-at=' + shortQuit, { waitUntil: 'load' }), 60000, 'damaged checkpoint page');
  await waitPhase(p3, ['ended'], 10 * 60 * 1000, name + ' start at corner, damaged checkpoint');
  const r3 = await p3.evaluate(() => ({ frames: window.ostramere.frames, used: window.ostramere.checkpoint }));
  const want3 = wantCorner.filter((f) => f.tick < shortQuit);
  check(r3.used === false && compareFrames(name + ' damaged checkpoint', r3.frames.filter((f) => f.tick < simMs), want3) === 0,
        `${name} start: a damaged checkpoint is refused and the run ahead gives the same frames (${r3.frames.length})`);
  check(errs3.length === 0, `${name} start damaged: no page errors` + noErrors(errs3));
  await p3.close();
}

async function startStep(name, browser, base) {
  const errors = [], said = [];
  const first = native.findIndex((f) => f.music !== null && f.music >= startMs);
  const want = native.slice(first).filter((f) => f.tick < simMs).map(strip);
  const page = await openPage(browser, base + '/?sim&start=' + startMs + (Number.isFinite(simMs) ? '&quit-at=' + simMs : ''), errors);
  page.on('console', (m) => { if (/^ostramere:/.test(m.text())) said.push(m.text()); });
  // Once frames arrive the run ahead is over: its overlay is gone.
  await withTimeout(page.waitForFunction(() => window.ostramere.frame > 0 || window.ostramere.phase === 'ended',
                                         { polling: 100, timeout: 0 }), 10 * 60 * 1000, name + ' start point');
  const mid = await page.evaluate(() => ({ phase: window.ostramere.phase, seeking: window.ostramere.seeking,
                                           overlay: !document.getElementById('overlay').hidden }));
  check(mid.phase === 'playing' && !mid.seeking && !mid.overlay,
        `${name} start: the progress overlay gives way to the show at the start point (${JSON.stringify(mid)})`);
  await waitPhase(page, ['ended'], 10 * 60 * 1000, name + ' start run');
  const got = (await page.evaluate(() => window.ostramere.frames)).filter((f) => f.tick < simMs);
  console.log(`${name} start: ${got.length} frames from ${got.length ? got[0].idx : '-'}; native from ${first}: ${want.length}`);
  if (!got.length && said.length) console.log(`${name} start: the program said: ${said.slice(-2).join(' | ')}`);
  check(first > 0 && want.length > 100, `${name} start: the native reference reaches ${startMs} ms of music`);
  check(got.length > 0 && got[0].idx === native[first].idx,
        `${name} start: the first frame listed is the full run's first at ${startMs} ms of music`);
  check(compareFrames(name + ' start', got, want) === 0,
        `${name} start: every frame from there equals the full run's (index, tick, hash)`);
  const used = await page.evaluate(() => ({ used: window.ostramere.checkpoint, file: window.ostramere.checkpoint_file,
                                            song: window.ostramere.song_cache_used }));
  check(used.used === true && used.file === 'greetings.ockp',
        `${name} start: the start at ${startMs} ms restored the last checkpoint before it (${JSON.stringify(used)})`);
  // A start this late waits for the song cache the page makes: the frames
  // above are those of a song played from it.
  check(used.song === true, `${name} start: the song came from the page's song cache (${JSON.stringify(used)})`);
  check(errors.length === 0, `${name} start: no page errors` + noErrors(errors));
  await page.close();

  // A chapter by name: from its scene's checkpoint, the full run's frames
  // from the scene's first one (5 s of them).
  const site = JSON.parse(fs.readFileSync(siteDir + '/site.json', 'utf8'));
  const corner = site.checkpoints && site.checkpoints['corner.ockp'];
  if (check(!!corner, `${name} start: the site lists the corner scene's checkpoint`)) {
    const quit = corner.music_ms + 20000;
    const wantCorner = native.filter((f) => f.idx >= corner.frame && f.tick < quit && f.tick < simMs).map(strip);
    const errs2 = [];
    const p2 = await openPage(browser, base + '/?sim&start=corner&quit-at=' + quit, errs2);
    await waitPhase(p2, ['ended'], 5 * 60 * 1000, name + ' start at corner');
    const r = await p2.evaluate(() => ({ frames: window.ostramere.frames, used: window.ostramere.checkpoint,
                                         file: window.ostramere.checkpoint_file }));
    const gotCorner = r.frames.filter((f) => f.tick < simMs);
    check(r.used === true && r.file === 'corner.ockp', `${name} start: ?start=corner restored corner.ockp (${r.used}, ${r.file})`);
    check(wantCorner.length > 50 && gotCorner.length > 0 && gotCorner[0].idx === corner.frame &&
          compareFrames(name + ' start corner', gotCorner, wantCorner) === 0,
          `${name} start: from the corner checkpoint every frame equals the full run's (${gotCorner.length} from ${gotCorner.length ? gotCorner[0].idx : '-'})`);
    check(errs2.length === 0, `${name} start corner: no page errors` + noErrors(errs2));
    await p2.close();
    if (name === 'chromium') await damagedCheckpoint(name, browser, base, wantCorner, corner);
  }

  // A start point the show does not have: a clear message, nothing runs.
  for (const bad of ['nowhere', '160000', '12s']) {
    const quiet = [];
    const p = await openPage(browser, base + '/?start=' + bad, quiet);
    // refused once the site's index (the timeline) is read
    await p.waitForFunction(() => window.ostramere.error, { polling: 50, timeout: 10000 }).catch(() => {});
    const r = await p.evaluate(() => ({ error: window.ostramere.error, phase: window.ostramere.phase,
                                        shown: document.getElementById('status').textContent }));
    check(r.phase === 'loading' && r.error && r.error.includes('start=' + bad) && r.shown.includes(r.error),
          `${name} start: ?start=${bad} is refused with a message (${r.error})`);
    await p.close();
  }
}

async function liveStep(name, browser, base) {
  const errors = [];
  const page = await openPage(browser, base + '/?autoplay', errors);
  await waitPhase(page, ['playing'], 60000, name + ' autoplay start');
  await withTimeout(page.waitForFunction(() => window.ostramere.music_ms !== null && window.ostramere.music_ms > 500,
                                         { polling: 100, timeout: 0 }), 60000, name + ' music start');
  const sample = () => page.evaluate(() => ({ t: performance.now(), music: window.ostramere.music_ms, frame: window.ostramere.frame }));
  const a = await sample();
  await sleep(12000);
  const b = await sample();
  if (screenshotOut && name === 'chromium') await page.screenshot({ path: screenshotOut });
  const wall = b.t - a.t, music = b.music - a.music, fps = (b.frame - a.frame) * 1000 / wall;
  const wake = await page.evaluate(() => window.ostramere.wake_lock);
  console.log(`${name} live: ${wall.toFixed(0)} ms wall, ${music} ms music (${(music / wall).toFixed(4)}), ${fps.toFixed(1)} frames/s, wake lock ${wake}`);
  check(Math.abs(music - wall) <= 0.05 * wall, `${name} live: music time advances with the wall clock (${music} ms in ${wall.toFixed(0)} ms)`);
  check(fps >= liveFpsMin && fps <= 36, `${name} live: at least ${liveFpsMin.toFixed(1)} and at most 36 frames per second (${fps.toFixed(1)})`);
  // What the viewer sees: the picture in the canvas changes (frames reach the
  // screen, not only the program's counters), among three views 400 ms apart.
  const box = await page.evaluate(() => {
    const r = document.getElementById('canvas').getBoundingClientRect();
    return { x: r.left, y: r.top, width: r.width, height: r.height };
  });
  const views = new Set();
  for (let i = 0; i < 3; ++i) {
    if (i) await sleep(400);
    views.add((await page.screenshot({ clip: box, encoding: 'base64' })).toString());
  }
  check(views.size >= 2, `${name} live: the canvas on the screen shows moving pictures (${views.size} different views of 3)`);

  // C: a link to the moment, which the page's own parser takes back.
  const before = await page.evaluate(() => window.ostramere.music_ms);
  await page.keyboard.press('c');
  const link = await withTimeout(page.waitForFunction(() => window.ostramere.link, { polling: 100, timeout: 0 }), 5000, name + ' C key')
    .then((h) => h.jsonValue(), () => null);
  const at = link ? Number(new URL(link).searchParams.get('start')) : NaN;
  check(link !== null && link.startsWith(base + '/?') && at % 100 === 0 && at <= before + 1000 && at >= before - 1000,
        `${name} live: C copies a link to the moment (${link}, music ${before} ms)`);

  await page.keyboard.press('Escape');
  let ended = true;
  try { await waitPhase(page, ['ended'], 10000, name + ' Escape'); } catch (e) { ended = false; console.log(e.message); }
  check(ended, `${name} live: Escape ends the show`);
  const end = await page.evaluate(() => ({
    overlay: !document.getElementById('overlay').hidden,
    chapters: [...document.querySelectorAll('#chapters a')].filter((a) => a.offsetParent !== null)
      .map((a) => new URL(a.href).searchParams.get('start')),
  }));
  check(end.overlay && end.chapters.join(',') === 'title,beat,flame,corner,backdrop,greetings,final',
        `${name} live: the end screen lists the chapters as links (${end.chapters.join(',')})`);
  check(errors.length === 0, `${name} live: no page errors` + noErrors(errors));
  await page.close();
}

async function holdStep(name, browser, base) {
  const errors = [];
  const page = await openPage(browser, base + '/?start=beat', errors);
  await waitPhase(page, ['ready'], 60000, name + ' hold page ready');
  const driver = {
    run: (fn, ...a) => page.evaluate(fn, ...a),
    press: (key) => page.keyboard.press(key),
    click: (css) => page.click(css),
    // Firefox over PulseAudio takes up to 2 s to resume a bare AudioContext
    // with an oscillator (every other resume: 1965, 40, 1970 ms, here):
    // its own output restarting, not the page.
    resumeLimitMs: name === 'firefox' ? 2500 : 1000,
  };
  await driver.run(holds.install);
  await page.click('#start');
  const media = await page.evaluate(() => !!navigator.mediaSession);
  await holds.holdChecks(name, driver, check, { media });
  if (name === 'chromium') await holds.tapToResume(name, driver, check);
  await holds.stopWhileHeld(name, driver, check, media);
  check(errors.length === 0, `${name} hold: no page errors` + noErrors(errors));
  await page.close();
}

// Seeks in a live show: each restarts the program at the moment asked for
// (running ahead unseen), so a seek has landed once the page's start point
// is the seek's and the new run shows frames.
async function seekStep(name, browser, base) {
  const errors = [];
  const page = await openPage(browser, base + '/', errors);
  await waitPhase(page, ['ready'], 60000, name + ' seek page ready');
  await page.evaluate(holds.install);
  await page.click('#start');
  const now = () => page.evaluate(() => {
    const o = window.ostramere;
    return { music: o.music_ms, start: o.start, seek_to: o.seek_to, seeking: o.seeking, paused: o.paused,
             phase: o.phase, frame: o.frame, bar: !document.getElementById('controls').hidden };
  });
  const landed = (start, what) => withTimeout(page.waitForFunction((st) => {
    const o = window.ostramere;
    return o.error || (o.start === st && !o.seeking && o.frame > 0 && o.music_ms !== null);
  }, { polling: 100, timeout: 0 }, start), 240000, `${name} seek: ${what} lands`);
  await withTimeout(page.waitForFunction(() => window.ostramere.music_ms > 1500, { polling: 100, timeout: 0 }),
                    60000, name + ' seek: the show plays');

  // The seek bar, shown by the pointer: a click on the flame chapter's mark.
  await page.mouse.move(300, 300);
  await page.mouse.move(320, 310);
  await withTimeout(page.waitForFunction(() => !document.getElementById('controls').hidden, { polling: 100, timeout: 0 }),
                    5000, name + ' seek: the control bar shows');
  const box = await page.evaluate(() => {
    const bar = document.querySelector('#controls .seekbar').getBoundingClientRect();
    const marks = [...document.querySelectorAll('#controls .seekbar .mark')];
    const flame = document.querySelector('#controls .seekbar .mark[data-chapter="flame"]').getBoundingClientRect();
    return { x: flame.left + flame.width / 2, y: bar.top + bar.height / 2, marks: marks.map((m) => m.dataset.chapter).join(',') };
  });
  check(box.marks === 'title,beat,flame,corner,backdrop,greetings,final',
        `${name} seek: the seek bar marks every chapter (${box.marks})`);
  // A pixel off the mark still takes the chapter.
  await page.mouse.click(Math.round(box.x) + 3, Math.round(box.y));
  await landed('flame', 'the click on the flame mark');
  let s = await now();
  check(s.music >= 40000 && s.music < 43000 && s.phase === 'playing' && s.paused === false,
        `${name} seek: a click on the flame chapter's mark plays from the flame scene (${s.music} ms)`);
  await sleep(1500);
  const after = await now();
  check(after.music > s.music && after.start === 'flame', `${name} seek: the show plays on from there (${s.music} then ${after.music} ms)`);

  // The right arrow: about 10 s on.
  const before = (await now()).music;
  await page.keyboard.press('ArrowRight');
  const target = (await now()).seek_to;
  check(target >= before + 9500 && target <= before + 11000,
        `${name} seek: ArrowRight asks for 10 s on (${before} -> ${target} ms)`);
  await landed(String(target), 'ArrowRight');
  s = await now();
  check(s.music >= target && s.music < target + 3000, `${name} seek: ArrowRight lands there (${s.music} ms for ${target})`);

  // The Media Session's seekto (a lock screen's bar), in seconds.
  const actions = await page.evaluate(() => Object.keys(window.__ostraTest.actions).sort().join(','));
  check(/seekbackward,seekforward,seekto/.test(actions), `${name} seek: the Media Session offers seeking (${actions})`);
  await page.evaluate(() => window.__ostraTest.actions.seekto({ action: 'seekto', seekTime: 135.5 }));
  await landed('135500', 'seekto');
  s = await now();
  check(s.music >= 135500 && s.music < 138500, `${name} seek: the Media Session's seekto lands at 2:15.5 (${s.music} ms)`);

  // A seek while paused plays on from its new moment, the hold let go.
  await page.keyboard.press(' ');
  await withTimeout(page.waitForFunction(() => window.ostramere.paused === 'pause', { polling: 100, timeout: 0 }),
                    3000, name + ' seek: pause');
  const pausedAt = (await now()).music;
  await page.keyboard.press('ArrowLeft');
  const back = (await now()).seek_to;
  check(back >= pausedAt - 10500 && back <= pausedAt - 9500, `${name} seek: ArrowLeft asks for 10 s back (${pausedAt} -> ${back} ms)`);
  await landed(String(back), 'ArrowLeft while paused');
  await sleep(1500);
  s = await now();
  check(s.paused === false && s.music > back + 500, `${name} seek: a seek while paused plays on from there (${s.paused}, ${s.music} ms)`);

  const errs = await page.evaluate(() => window.__ostraTest.errors.concat(window.ostramere.error ? [window.ostramere.error] : []));
  check(errors.length === 0 && errs.length === 0, `${name} seek: no page errors` + noErrors(errors.concat(errs)));
  await page.keyboard.press('Escape');
  await page.close();
}

// A chapter link from the start screen, live: the final scene's checkpoint
// (the fullscreen run's, its ticks moved to the window's timing) is fetched
// and restored; the time from the click to
// the first frame with the sound running is printed (a figure, not a test).
async function chapterStep(name, browser, base) {
  for (const [rate, prepared] of [[1, false], [6, false], [1, true], [6, true]]) {
    const errors = [];
    const page = await browser.newPage();
    page.on('pageerror', (e) => errors.push('page error: ' + e.message));
    page.on('console', (m) => { if (m.type() === 'error') errors.push('console error: ' + m.text()); });
    await page.setViewport({ width: 960, height: 720 });
    if (rate > 1) await (await page.createCDPSession()).send('Emulation.setCPUThrottlingRate', { rate });
    await withTimeout(page.goto(base + '/', { waitUntil: 'load' }), 60000, 'chapter page');
    await waitPhase(page, ['ready'], 120000, name + ' chapter page ready');
    // `prepared`: the viewer clicks once the page has made its song cache
    // (about a second after it is ready), else at once.
    let making = '';
    if (prepared) {
      await withTimeout(page.waitForFunction(() => window.ostramere.song_cache !== 'making', { polling: 50, timeout: 0 }),
                        120000, name + ' chapter song cache');
      making = await page.evaluate(() => `, the song cache made in ${window.ostramere.song_cache_ms} ms`);
    }
    const fetchedBefore = await page.evaluate(() => performance.getEntriesByType('resource')
      .filter((e) => /checkpoints\//.test(e.name)).length);
    await page.evaluate(() => { window.__clickAt = performance.now(); });
    await page.click('#chapters a[data-start="final"]');
    await withTimeout(page.waitForFunction(() => {
      const o = window.ostramere;
      return o.error || (o.frame > 0 && !o.seeking && o.music_ms !== null && o.audio.state === 'running');
    }, { polling: 20, timeout: 0 }), 120000, name + ' chapter final live');
    const r = await page.evaluate(() => ({ ms: performance.now() - window.__clickAt, music: window.ostramere.music_ms,
                                           used: window.ostramere.checkpoint, file: window.ostramere.checkpoint_file,
                                           song: window.ostramere.song_cache_used }));
    console.log(`${name} chapter: click ${prepared ? 'once the song is prepared' : 'at once'} to live play at the ` +
                `Final room, CPU ${rate}x: ${r.ms.toFixed(0)} ms (music ${r.music} ms${making})`);
    check(r.song === true, `${name} chapter ${rate}x: the song came from the song cache (${r.song})`);
    check(fetchedBefore === 0, `${name} chapter ${rate}x: no checkpoint is fetched before a start point asks for one`);
    check(r.used === true && r.file === 'final.ockp' && r.music >= 130000 && r.music < 133000,
          `${name} chapter ${rate}x: the Final room plays from its checkpoint (${r.used}, ${r.file}, ${r.music} ms)`);
    check(errors.length === 0, `${name} chapter ${rate}x: no page errors` + noErrors(errors));
    await page.keyboard.press('Escape');
    await page.close();
  }
}

// Where the canvas lies in the viewport, and which controls are too small
// to touch.
function layout(page) {
  return page.evaluate(() => {
    const r = document.getElementById('canvas').getBoundingClientRect();
    const small = [...document.querySelectorAll('button, #chapters a, label')]
      .filter((e) => e.offsetParent !== null)
      .map((e) => ({ id: e.id || e.textContent.trim(), r: e.getBoundingClientRect() }))
      .filter((e) => e.r.width < 44 || e.r.height < 44)
      .map((e) => `${e.id} ${e.r.width.toFixed(0)}x${e.r.height.toFixed(0)}`);
    return { x: r.left, y: r.top, w: r.width, h: r.height, vw: innerWidth, vh: innerHeight, small,
             poster: getComputedStyle(document.getElementById('canvas')).backgroundImage };
  });
}

function checkFit(label, l) {
  const eps = 1;
  const inside = l.x >= -eps && l.y >= -eps && l.x + l.w <= l.vw + eps && l.y + l.h <= l.vh + eps;
  const fills = Math.abs(l.w - l.vw) <= eps || Math.abs(l.h - l.vh) <= eps;
  const centred = Math.abs(l.x + l.w / 2 - l.vw / 2) <= eps && Math.abs(l.y + l.h / 2 - l.vh / 2) <= eps;
  const ratio = Math.abs(l.w * 3 - l.h * 4) <= 4 * eps;
  check(inside && fills && centred && ratio,
        `${label}: the picture lies whole and centred in the ${l.vw}x${l.vh} viewport, 4:3, filling one direction ` +
        `(${l.w.toFixed(1)}x${l.h.toFixed(1)} at ${l.x.toFixed(1)},${l.y.toFixed(1)})`);
}

// With an iPhone's safe-area insets (top, right, bottom, left; set through
// the page's own variables, which take env(safe-area-inset-*) otherwise) the
// picture and the corner button keep clear of them, still 4:3 and centred
// in what is left.
async function checkSafeArea(label, page, insets) {
  const r = await page.evaluate((ins) => {
    const root = document.documentElement.style;
    ['--safe-t', '--safe-r', '--safe-b', '--safe-l'].forEach((v, i) => root.setProperty(v, ins[i] + 'px'));
    const c = document.getElementById('canvas').getBoundingClientRect();
    const f = document.getElementById('fullscreen').getBoundingClientRect();
    const out = { c: [c.left, c.top, c.right, c.bottom], f: [f.left, f.top, f.right, f.bottom], vw: innerWidth, vh: innerHeight };
    ['--safe-t', '--safe-r', '--safe-b', '--safe-l'].forEach((v) => root.removeProperty(v));
    return out;
  }, insets);
  const [t, rt, b, l] = insets;
  const inside = (x) => x[0] >= l - 1 && x[1] >= t - 1 && x[2] <= r.vw - rt + 1 && x[3] <= r.vh - b + 1;
  const w = r.c[2] - r.c[0], h = r.c[3] - r.c[1];
  const fills = Math.abs(w - (r.vw - l - rt)) <= 1 || Math.abs(h - (r.vh - t - b)) <= 1;
  const centred = Math.abs((r.c[0] + r.c[2]) / 2 - (l + r.vw - rt) / 2) <= 1 && Math.abs((r.c[1] + r.c[3]) / 2 - (t + r.vh - b) / 2) <= 1;
  check(inside(r.c) && inside(r.f) && fills && centred && Math.abs(w * 3 - h * 4) <= 4,
        `${label}: clear of safe-area insets ${insets.join('/')} (picture ${r.c.map((v) => v.toFixed(0)).join(',')}, button ${r.f.map((v) => v.toFixed(0)).join(',')})`);
}

async function phoneStep(name, browser, base) {
  const errors = [];
  const portrait = { width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true };
  const landscape = { ...portrait, width: 844, height: 390, isLandscape: true };
  for (const [first, turned, label] of [[portrait, landscape, 'upright'], [landscape, portrait, 'sideways']]) {
    const page = await openPage(browser, base + '/', errors, first);
    await waitPhase(page, ['ready'], 60000, name + ' phone page ready');
    const l = await layout(page);
    checkFit(`${name} phone ${label}`, l);
    check(l.small.length === 0, `${name} phone ${label}: every control is at least 44 px (${l.small.join(', ')})`);
    check(/poster\.png/.test(l.poster), `${name} phone ${label}: the poster still lies behind the start overlay`);
    await checkSafeArea(`${name} phone ${label}`, page, label === 'upright' ? [47, 0, 34, 0] : [0, 47, 21, 47]);
    await page.tap('#fullscreen');
    await sleep(300);
    check(await page.evaluate(() => document.fullscreenElement === document.getElementById('stage')),
          `${name} phone ${label}: a tap on the corner button goes fullscreen`);
    // Upright the Start button, sideways the overlay's free space.
    if (label === 'upright') await page.tap('#start');
    else await page.touchscreen.tap(8, Math.round(l.vh / 2));
    let started = true;
    try {
      await withTimeout(page.waitForFunction(() => window.ostramere.frame > 10 && document.getElementById('overlay').hidden,
                                             { polling: 100, timeout: 0 }), 30000, 'tap');
    } catch (e) { started = false; }
    check(started, `${name} phone ${label}: a tap on ${label === 'upright' ? 'Start' : 'the overlay'} starts the show`);
    await page.setViewport(turned);
    await sleep(300);
    checkFit(`${name} phone ${label} then turned`, await layout(page));
    const held = await page.evaluate(() => window.ostramere.wake_lock);
    await page.keyboard.press('Escape');
    await waitPhase(page, ['ended'], 10000, name + ' phone Escape');
    await sleep(300);
    const after = await page.evaluate(() => ({ wake: window.ostramere.wake_lock, full: !!document.fullscreenElement }));
    check(held === 'held' && after.wake === 'released' && !after.full,
          `${name} phone ${label}: the screen is kept awake while playing and let go at the end (${held}, then ${after.wake})`);
    await page.close();
  }
  check(errors.length === 0, `${name} phone: no page errors` + noErrors(errors));
}

async function benchStep(name, browser, base) {
  const errors = [];
  const page = await openPage(browser, base + '/?bench', errors);
  await waitPhase(page, ['ended'], 15 * 60 * 1000, name + ' bench run');
  const bench = await page.evaluate(() => window.ostramere.bench);
  fs.writeFileSync(benchOut, JSON.stringify(bench, null, 1) + '\n');
  console.log('scene            frames   mean    p50    p99    max  (ms)');
  for (const s of bench.scenes) {
    console.log(s.name.padEnd(16) + String(s.frames).padStart(7) + [s.mean_ms, s.p50_ms, s.p99_ms, s.max_ms].map((v) => v.toFixed(2).padStart(7)).join(''));
  }
  check(errors.length === 0, `${name} bench run: no page errors` + noErrors(errors));
  await page.close();
}

const plan = {
  chromium: [['sim', simStep], ['start', startStep], ['live', liveStep], ['hold', holdStep], ['seek', seekStep],
             ['chapter', chapterStep], ['phone', phoneStep],
             ['bench', benchStep], ['gentle', gentleStep]],
  // Firefox's hold step runs last, in a Firefox of its own (see below);
  // OSTRA_WEB_FIREFOX_HOLD=0 leaves it out.
  firefox: [['sim', simStep], ['start', startStep], ['live', liveStep], ['gentle', gentleStep],
            ...(process.env.OSTRA_WEB_FIREFOX_HOLD === '0' ? [] : [['hold', holdStep]])],
};

(async () => {
  const server = await web.startServer(siteDir);
  closers.push(server.stop);
  // Steps that start a browser of their own: opening a page after the live
  // step's page closed hung Firefox here (browsingContext.create timed out,
  // in two runs of two), so its hold step gets a fresh Firefox and sink.
  const alone = new Set(['firefox hold']);
  for (const name of browserList) {
    if (!plan[name]) { check(false, 'unknown browser ' + name); continue; }
    const t0 = Date.now();
    const todo = plan[name].filter(([step]) => steps.has(step));
    const groups = [todo.filter(([step]) => !alone.has(name + ' ' + step))]
      .concat(todo.filter(([step]) => alone.has(name + ' ' + step)).map((s) => [s]))
      .filter((g) => g.length);
    for (const group of groups) {
      let env = {}, pulse = null;
      try {
        // Firefox finds no sound output on a machine without one: give it a null sink.
        if (name === 'firefox') { pulse = await web.startPulse(); env = pulse.env; closers.push(pulse.stop); }
        const { browser, close } = await web.launch(name, env);
        closers.push(close);
        for (const [step, fn] of group) {
          try { await fn(name, browser, server.base); } catch (e) { check(false, `${name} ${step}: ${e.message}`); }
        }
        closers.pop();
        await close();
      } catch (e) {
        check(false, `${name}: ${e.message}`);
      }
      if (pulse) { closers.pop(); await pulse.stop(); }
    }
    console.log(`${name}: ${((Date.now() - t0) / 1000).toFixed(0)} s`);
  }
  await run.end();
})().catch((e) => { console.error('browser test:', e && e.stack ? e.stack : e); finish(1); });
