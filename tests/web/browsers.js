// What the browser tests share: a local web server over the site, a
// PulseAudio null sink (a sound output for headless Firefox) started and
// stopped by the test, headless Chromium or Firefox ESR through
// puppeteer-core, and a time limit around any promise.
'use strict';
const { spawn } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

const executables = {
  chromium: process.env.OSTRA_CHROMIUM || '/usr/bin/chromium',
  firefox: process.env.OSTRA_FIREFOX || '/usr/bin/firefox-esr',
};

function withTimeout(promise, ms, what) {
  let timer;
  const limit = new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Error(what + ': no result within ' + ms / 1000 + ' s')), ms);
  });
  return Promise.race([promise, limit]).finally(() => clearTimeout(timer));
}

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// Child processes still running when the test ends are stopped by their pid.
const children = new Set();
function track(child) {
  children.add(child);
  child.on('exit', () => children.delete(child));
  return child;
}
function stopChildren() {
  for (const c of children) { try { c.kill('SIGTERM'); } catch (e) { /* gone */ } }
}

// Serves DIR on 127.0.0.1 (a free port); resolves { base, stop }.
function startServer(dir) {
  return withTimeout(new Promise((resolve, reject) => {
    const server = track(spawn('python3', ['-u', '-m', 'http.server', '--bind', '127.0.0.1', '--directory', dir, '0'],
                               { stdio: ['ignore', 'pipe', 'pipe'] }));
    let out = '';
    server.stdout.on('data', (d) => {
      out += d;
      const m = /port (\d+)/.exec(out);
      if (m) resolve({ base: 'http://127.0.0.1:' + m[1], stop: () => server.kill('SIGTERM') });
    });
    server.stderr.on('data', () => {});  // request log
    server.on('exit', (c) => reject(new Error('http.server exited with ' + c)));
  }), 20000, 'starting the web server');
}

// Starts PulseAudio with a null sink in a fresh private runtime folder and
// waits for its socket; resolves { env, stop } where env carries
// XDG_RUNTIME_DIR for the browser. stop() ends it and removes the folder.
async function startPulse() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'ostra-pulse-'));
  fs.chmodSync(dir, 0o700);
  const env = { ...process.env, XDG_RUNTIME_DIR: dir, HOME: dir };
  const pulse = track(spawn('pulseaudio', ['-n', '--exit-idle-time=-1', '--disallow-exit', '--daemonize=no',
                                           '--load=module-null-sink sink_name=null',
                                           '--load=module-native-protocol-unix'],
                            { env, stdio: ['ignore', 'ignore', 'pipe'] }));
  let log = '';
  pulse.stderr.on('data', (d) => { log += d; });
  let exited = null;
  pulse.on('exit', (c) => { exited = c; });
  const socket = path.join(dir, 'pulse', 'native');
  const stop = async () => {
    if (exited === null) {
      pulse.kill('SIGTERM');
      for (let i = 0; i < 50 && exited === null; i++) await sleep(100);
      if (exited === null) pulse.kill('SIGKILL');
    }
    fs.rmSync(dir, { recursive: true, force: true });
  };
  for (let i = 0; i < 100; i++) {
    if (fs.existsSync(socket)) return { env: { XDG_RUNTIME_DIR: dir }, stop };
    if (exited !== null) break;
    await sleep(100);
  }
  await stop();
  throw new Error('pulseaudio did not open its socket (' + (exited !== null ? 'exited ' + exited : 'timed out') +
                  ')' + (log ? ': ' + log.trim().split('\n').slice(-3).join(' | ') : ''));
}

// Launches 'chromium' or 'firefox' headless; resolves { browser, close }.
// extraEnv (for example startPulse().env) goes to the browser's environment.
async function launch(kind, extraEnv = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'ostra-' + kind + '-'));
  const env = { ...process.env, ...extraEnv };
  let options;
  if (kind === 'chromium') {
    options = {
      executablePath: executables.chromium, headless: true, userDataDir: profile, env,
      args: ['--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
             '--disable-background-networking', '--disable-component-update', '--disable-sync',
             '--autoplay-policy=no-user-gesture-required'],
    };
  } else if (kind === 'firefox') {
    options = {
      browser: 'firefox', executablePath: executables.firefox, headless: true, userDataDir: profile, env,
      extraPrefsFirefox: { 'media.autoplay.default': 0, 'media.autoplay.blocking_policy': 0,
                           'browser.shell.checkDefaultBrowser': false, 'app.update.enabled': false },
    };
  } else {
    throw new Error('unknown browser ' + kind);
  }
  const browser = await withTimeout(puppeteer.launch(options), 90000, 'starting ' + kind);
  const close = async () => {
    try { await withTimeout(browser.close(), 20000, 'closing ' + kind); } catch (e) {
      const proc = browser.process();
      if (proc) proc.kill('SIGKILL');
    }
    fs.rmSync(profile, { recursive: true, force: true });
  };
  return { browser, close };
}

// A new page that records page errors, console errors and failed requests
// into `errors`, at the given viewport (default: a desktop window).
async function openPage(browser, url, errors, viewport = { width: 960, height: 720 }) {
  const page = await browser.newPage();
  page.on('pageerror', (e) => errors.push('page error: ' + e.message));
  page.on('console', (m) => { if (m.type() === 'error') errors.push('console error: ' + m.text()); });
  page.on('requestfailed', (r) => errors.push('request failed: ' + r.url()));
  await page.setViewport(viewport);
  await withTimeout(page.goto(url, { waitUntil: 'load' }), 60000, 'loading ' + url);
  return page;
}

// Waits until window.ostramere.phase is one of `phases`; throws when the page
// reports an error first.
async function waitPhase(page, phases, ms, what) {
  await withTimeout(page.waitForFunction(
    (p) => window.ostramere && (p.includes(window.ostramere.phase) || window.ostramere.error),
    { polling: 200, timeout: 0 }, phases), ms, what);
  const err = await page.evaluate(() => window.ostramere.error);
  if (err) throw new Error(what + ': page reports ' + err);
}

// Removes `name VALUE` from the argument list `args` and returns VALUE (null
// when the option is not given).
function takeOption(args, name) {
  const i = args.indexOf(name);
  if (i < 0) return null;
  const v = args[i + 1];
  args.splice(i, 2);
  return v;
}

module.exports = { withTimeout, sleep, startServer, startPulse, launch, openPage, waitPhase, stopChildren, takeOption };
