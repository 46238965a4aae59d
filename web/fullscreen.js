// Fullscreen, from the corner button and F. Where a page cannot go
// fullscreen (an iPhone offers it to videos only) the picture fills the
// visible viewport instead and the page around it hides: the stage is laid
// over the visual viewport, following it as the browser's bars come and go.
// Keeps window.ostramere.filled.
'use strict';
window.ostramereFullscreen = (function () {
  const stage = document.getElementById('stage'), canvas = document.getElementById('canvas');
  let state = null;  // window.ostramere, from attach()

  function fitFilled() {
    const v = window.visualViewport;
    const root = document.documentElement.style;
    root.setProperty('--view-w', (v ? v.width : innerWidth) + 'px');
    root.setProperty('--view-h', (v ? v.height : innerHeight) + 'px');
    root.setProperty('--view-x', (v ? v.offsetLeft : 0) + 'px');
    root.setProperty('--view-y', (v ? v.offsetTop : 0) + 'px');
  }

  function fillViewport(on) {
    state.filled = on;
    document.documentElement.classList.toggle('filled', on);
    const v = window.visualViewport || window;
    if (on) {
      fitFilled();
      v.addEventListener('resize', fitFilled);
      v.addEventListener('scroll', fitFilled);
      window.scrollTo(0, 0);
    } else {
      v.removeEventListener('resize', fitFilled);
      v.removeEventListener('scroll', fitFilled);
      for (const p of ['--view-w', '--view-h', '--view-x', '--view-y']) document.documentElement.style.removeProperty(p);
    }
  }

  // On a phone, fullscreen also asks for landscape, where the 4:3 picture is
  // largest (browsers that cannot lock simply keep the orientation).
  function toggle() {
    const current = document.fullscreenElement || document.webkitFullscreenElement;
    if (current) {
      Promise.resolve((document.exitFullscreen || document.webkitExitFullscreen).call(document)).catch(() => {});
      return;
    }
    const request = stage.requestFullscreen || stage.webkitRequestFullscreen;
    if (!request || state.filled) {
      fillViewport(!state.filled);
      return;
    }
    Promise.resolve(request.call(stage)).then(() => {
      const o = window.screen.orientation;
      if (o && o.lock && matchMedia('(pointer: coarse)').matches) o.lock('landscape').catch(() => {});
    }, () => {});
  }

  // The button gives the focus back to the picture (Space is the page's key).
  document.getElementById('fullscreen').addEventListener('click', () => { toggle(); canvas.focus(); });
  document.addEventListener('keydown', (e) => {
    if (e.ctrlKey || e.altKey || e.metaKey) return;
    if (e.key === 'f' || e.key === 'F') toggle();
  });

  return {
    attach(s) { state = s; },
    // The show has ended: back to the page as it was.
    leave() {
      if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
      if (state.filled) fillViewport(false);
    },
  };
})();
