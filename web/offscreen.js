// The surface the program draws into: an OffscreenCanvas where the browser
// has one, whose frames go to the compositor directly, not with the page's
// own rendering (which saves the page's thread about a millisecond a
// frame). The element can be handed over only once, so every run of the
// program draws into the same one; its width and height then stand for the
// OffscreenCanvas's, so that the libraries that size the canvas go on doing
// so. Null without one: the program then draws into the element itself.
'use strict';
window.ostramereOffscreen = (function () {
  const canvas = document.getElementById('canvas');
  if (!canvas.transferControlToOffscreen) return null;
  try {
    const off = canvas.transferControlToOffscreen();
    for (const side of ['width', 'height'])
      Object.defineProperty(canvas, side, { configurable: true, get: () => off[side], set: (v) => { off[side] = v; } });
    return off;
  } catch (e) {
    return null;
  }
})();
