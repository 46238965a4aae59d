// The whole show inside the open display: start-up, sound set-up, loading,
// the timeline and the shutdown in order. Owns the show's objects.
#pragma once

// Runs the show; returns after the song is freed, the sound layer closed and
// the show's objects destroyed. Reads the global fullscreen for the settle wait.
void intro();
