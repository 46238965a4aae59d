// The show as media for the system (a phone's lock screen, a headset's
// buttons) where the browser has the Media Session API: title, artist and
// artwork, the play, pause, stop and seek actions, and the position in music
// time.
'use strict';
window.ostramereMediaSession = (function () {
  const session = navigator.mediaSession;
  const hold = window.ostramereHold;
  const stepMs = 10000;  // a seek backward or forward without an offset
  let state = null, endMs = 0, timer = 0, seeker = null;

  function set(action, handler) {
    try { session.setActionHandler(action, handler); } catch (e) { /* not offered here */ }
  }

  // Where the show is, in seconds of music (the lock screen's bar).
  function position() {
    if (!session || !session.setPositionState || !state) return;
    const at = state.music_ms === null ? 0 : Math.min(state.music_ms, endMs);
    try {
      session.setPositionState({ duration: endMs / 1000, position: at / 1000, playbackRate: 1 });
    } catch (e) { /* a browser that refuses the figures keeps its own */ }
  }

  function playback() {
    if (!session) return;
    session.playbackState = !hold.live ? 'none' : state && state.paused ? 'paused' : 'playing';
    position();
  }

  return {
    // window.ostramere, the show's length in ms of music and the page's seek
    // ({ to({ ms, chapter }), by(deltaMs) }).
    attach(s, showEndMs, seek) {
      state = s;
      endMs = showEndMs;
      seeker = seek;
      if (session) hold.listen(playback);
    },
    // A live show starts: what the system shows for it, and its actions.
    begin() {
      if (!session) return;
      set('play', () => hold.play());
      set('pause', () => hold.pause());
      set('stop', () => hold.stop());
      if (seeker) {
        const offset = (d) => (d && d.seekOffset > 0 ? d.seekOffset * 1000 : stepMs);
        set('seekto', (d) => { if (d && Number.isFinite(d.seekTime)) seeker.to({ ms: d.seekTime * 1000, chapter: null }); });
        set('seekbackward', (d) => seeker.by(-offset(d)));
        set('seekforward', (d) => seeker.by(offset(d)));
      }
      if (window.MediaMetadata) {
        const poster = new URL('poster.png', location.href).href;
        session.metadata = new MediaMetadata({
          title: 'Ostramere 05', artist: 'the Ostramere crew', album: 'a real-time audiovisual show',
          artwork: [{ src: poster, sizes: '640x480', type: 'image/png' }],
        });
      }
      clearInterval(timer);
      timer = setInterval(() => { if (state && !state.paused) position(); }, 1000);
      playback();
    },
    end() {
      clearInterval(timer);
      if (!session) return;
      session.playbackState = 'none';
      try { session.setPositionState(); } catch (e) { /* nothing to clear */ }
    },
  };
})();
