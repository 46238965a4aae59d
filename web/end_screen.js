// The end screen: the start overlay again, saying how the show ended, with
// the chapter links and "Play again" (the Start button); it goes when a run
// starts. Draws nothing else and starts nothing.
'use strict';
window.ostramereEndScreen = (function () {
  const $ = (id) => document.getElementById(id);
  const overlay = $('overlay'), startButton = $('start'), statusLine = $('status'), bar = $('progress');

  return {
    // The program ended with `status` (0: the show's end).
    show(status) {
      overlay.hidden = false;
      bar.hidden = true;
      statusLine.textContent = status === 0 ? 'The end.' : 'The show stopped (status ' + status + ').';
      startButton.textContent = 'Play again';
      startButton.disabled = false;
      overlay.classList.add('ended');
      startButton.focus();
    },
    // A run starts: the overlay (start or end screen) gives way to the picture.
    leave() {
      overlay.hidden = true;
      overlay.classList.remove('ended');
    },
  };
})();
