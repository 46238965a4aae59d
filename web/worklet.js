// The show's sound on the audio thread: an AudioWorkletProcessor that plays
// the blocks the page posts (planar Float32Array: left then right), counts
// the times it ran dry, and reports what it has played. Renders nothing.
// Told 'hold', it plays silence and keeps its queue until told 'play': an
// output that comes back runs unsteadily at first (WebKit's stands for a
// second, then renders that second at once), and the page lets it settle.
'use strict';

class OstramerePlayer extends AudioWorkletProcessor {
  constructor() {
    super();
    this.queue = [];        // blocks not played yet: { data, frames }
    this.at = 0;            // frames of queue[0] played
    this.queued = 0;        // frames waiting in the queue
    this.played = 0;        // frames played in all
    this.underruns = 0;     // times the queue ran dry while playing (a dry run counts once)
    this.starving = false;
    this.sinceReport = 0;
    this.done = false;
    this.holding = false;
    this.port.onmessage = (e) => {
      const d = e.data;
      if (d === 'stop') { this.done = true; return; }
      if (d === 'hold' || d === 'play') {
        this.holding = d === 'hold';
        this.sinceReport = 512;  // report at the next quantum
        return;
      }
      this.queue.push(d);
      this.queued += d.frames;
    };
  }

  report() {
    // currentFrame is the first frame of the quantum being made; the
    // report holds for the end of it.
    this.port.postMessage({ played: this.played, at: currentFrame + 128, queued: this.queued, underruns: this.underruns });
    this.sinceReport = 0;
  }

  process(inputs, outputs) {
    const out = outputs[0];
    const left = out[0], right = out[1] || out[0];
    const n = left.length;
    if (this.holding) {
      left.fill(0);
      right.fill(0);
      this.starving = false;
      this.sinceReport += n;
      if (this.sinceReport >= 512) this.report();
      return !this.done;
    }
    let got = 0;
    while (got < n && this.queue.length) {
      const b = this.queue[0];
      const take = Math.min(n - got, b.frames - this.at);
      left.set(b.data.subarray(this.at, this.at + take), got);
      right.set(b.data.subarray(b.frames + this.at, b.frames + this.at + take), got);
      got += take;
      this.at += take;
      if (this.at === b.frames) { this.queue.shift(); this.at = 0; }
    }
    if (got < n) {
      left.fill(0, got);
      right.fill(0, got);
      if (this.played + got > 0 && !this.starving) this.underruns++;
    }
    const wasStarving = this.starving;
    this.starving = got < n;
    this.played += got;
    this.queued -= got;
    // About every 12 ms, and at once when a dry run starts or ends.
    this.sinceReport += n;
    if (this.sinceReport >= 512 || this.starving !== wasStarving) this.report();
    return !this.done;
  }
}

registerProcessor('ostramere-player', OstramerePlayer);
