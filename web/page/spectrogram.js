// Short-time spectra of a recording for the picture: Hann-windowed frames of 2048 samples, one
// every 10 ms (coarser for long recordings), in dB against a full-scale sine.

// In-place radix-2 FFT of re/im (length a power of two), unnormalised, forward.
export function fft(re, im) {
  const n = re.length;
  for (let i = 1, j = 0; i < n; ++i) {
    let bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) {
      [re[i], re[j]] = [re[j], re[i]];
      [im[i], im[j]] = [im[j], im[i]];
    }
  }
  for (let size = 2; size <= n; size <<= 1) {
    const step = -2 * Math.PI / size;
    const half = size >> 1;
    for (let start = 0; start < n; start += size) {
      for (let k = 0; k < half; ++k) {
        const c = Math.cos(step * k), s = Math.sin(step * k);
        const a = start + k, b = a + half;
        const tr = re[b] * c - im[b] * s, ti = re[b] * s + im[b] * c;
        re[b] = re[a] - tr;
        im[b] = im[a] - ti;
        re[a] += tr;
        im[a] += ti;
      }
    }
  }
}

// Frame f is centred on sample f * hop; samples outside the recording read as silence.
export function computeSpectrogram(mono, rate, frameLength = 2048, hop = 441) {
  // A few frames per pixel column are enough; long recordings would otherwise take far more
  // memory than the picture can show.
  hop = Math.max(hop, Math.floor(mono.length / 6000));
  const bins = frameLength / 2 + 1;
  const frames = mono.length === 0 ? 0 : Math.floor(mono.length / hop) + 1;
  const db = new Float32Array(frames * bins);
  const window = new Float64Array(frameLength);
  for (let i = 0; i < frameLength; ++i) window[i] = 0.5 - 0.5 * Math.cos(2 * Math.PI * i / frameLength);
  // A full-scale sine in the middle of a bin peaks at |X| = n / 4 under the Hann window.
  const reference = (frameLength / 4) ** 2;
  const re = new Float64Array(frameLength), im = new Float64Array(frameLength);
  let maxDb = -1000;
  for (let f = 0; f < frames; ++f) {
    const first = f * hop - frameLength / 2;
    for (let i = 0; i < frameLength; ++i) {
      const p = first + i;
      re[i] = p >= 0 && p < mono.length ? mono[p] * window[i] : 0;
      im[i] = 0;
    }
    fft(re, im);
    for (let k = 0; k < bins; ++k) {
      const v = Math.max(-120, 10 * Math.log10((re[k] * re[k] + im[k] * im[k]) / reference + 1e-30));
      db[f * bins + k] = v;
      if (v > maxDb) maxDb = v;
    }
  }
  return {frames, bins, hopSeconds: hop / rate, binHz: rate / frameLength, db, maxDb};
}
