// Keeping the screen awake while a live show plays: the wake lock is taken
// at the start, taken again when the page shows again (the browser drops it
// while the page is hidden) and let go at the end. Keeps
// window.ostramere.wake_lock ('none', 'held', 'released', 'refused' or
// 'unsupported').
'use strict';
window.ostramereWakeLock = (function () {
  let state = null;    // window.ostramere, from attach()
  let live = false;    // false for simulated and bench runs: they keep nothing awake
  let wakeLock = null;

  function hold() {
    if (!('wakeLock' in navigator) || !live) { state.wake_lock = 'unsupported'; return; }
    if (wakeLock || document.visibilityState !== 'visible') return;
    navigator.wakeLock.request('screen').then((lock) => {
      wakeLock = lock;
      state.wake_lock = 'held';
      lock.addEventListener('release', () => { if (wakeLock === lock) { wakeLock = null; state.wake_lock = 'released'; } });
      if (state.phase !== 'playing') release();
    }, () => { state.wake_lock = 'refused'; });
  }

  function release() {
    const lock = wakeLock;
    wakeLock = null;
    if (!lock) return;
    state.wake_lock = 'released';
    lock.release().catch(() => {});
  }

  document.addEventListener('visibilitychange', () => {
    if (document.visibilityState === 'visible' && state.phase === 'playing') hold();
  });

  return {
    // window.ostramere, and whether the page's runs are live ones.
    attach(s, isLive) { state = s; live = isLive; },
    hold,
    release,
  };
})();
