// The audio thread's end of the page's sound: an AudioWorklet that plays the
// instrument's samples from a ring the page's thread fills. Whenever the ring
// holds less than its target it asks the page for the difference, so that
// the page answers between its frames and never has to run on time to the
// sample; a quantum the ring cannot fill once playing has started is an
// underrun, counted and reported with every request.
class ZindleFeed extends AudioWorkletProcessor {
  constructor(options) {
    super();
    const { target } = options.processorOptions;
    this.target = target;                       // frames the ring is kept at
    this.ring = new Float32Array(4 * target + 256);
    this.read = 0;
    this.filled = 0;
    this.asked = 0;                             // frames asked for, not yet here
    this.playing = false;
    this.underruns = 0;
    this.port.onmessage = (event) => {
      const block = event.data;
      this.asked = Math.max(0, this.asked - block.length);
      let write = (this.read + this.filled) % this.ring.length;
      for (let i = 0; i < block.length && this.filled < this.ring.length; ++i, ++this.filled) {
        this.ring[write] = block[i];
        write = write + 1 === this.ring.length ? 0 : write + 1;
      }
    };
  }

  process(inputs, outputs) {
    const out = outputs[0][0];
    const n = Math.min(out.length, this.filled);
    for (let i = 0; i < n; ++i) {
      out[i] = this.ring[this.read];
      this.read = this.read + 1 === this.ring.length ? 0 : this.read + 1;
    }
    this.filled -= n;
    if (n < out.length) {
      out.fill(0, n);
      if (this.playing) ++this.underruns;
    } else {
      this.playing = true;
    }
    const want = this.target - this.filled - this.asked;
    if (want >= 128) {
      this.asked += want;
      this.port.postMessage({ want, underruns: this.underruns });
    }
    return true;
  }
}

registerProcessor('zindle-feed', ZindleFeed);
