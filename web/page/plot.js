// The picture: the recording's spectrogram on a logarithmic frequency axis (50 Hz to 8 kHz)
// with the partial tracks over it, zoomed and scrolled in time, and the read-out of the
// partial nearest the pointer.

export const kFullScale = 8388608;  // a partial's level at the recording's full scale
const kMinHz = 50, kMaxHz = 8000;
const kLeft = 64, kRight = 16, kTop = 34, kBottom = 40;
// The colour scale spans this many dB below the loudest value.
const kRangeDb = 80;
const kTicks = [50, 100, 200, 500, 1000, 2000, 5000, 8000];
// The narrowest view: a few frames still show as distinct steps.
const kMinSpan = 0.1;

export const kSlotColours = [
  '#00e6ff', '#50ff50', '#ff3c3c', '#ff9600', '#ff50ff', '#ffff78', '#788cff', '#beff00',
  '#ff96c8', '#00ffbe', '#b464ff', '#ffffff', '#ffc896', '#96d2ff', '#c8ffaa'];

const kHeat = [[6, 6, 14], [28, 30, 58], [70, 76, 110], [130, 138, 160], [190, 196, 205]];
function heat(t) {
  t = Math.min(1, Math.max(0, t));
  const x = t * 4, i = Math.min(3, Math.floor(x)), f = x - i;
  return kHeat[i].map((v, c) => Math.floor(v + (kHeat[i + 1][c] - v) * f));
}

export function noteName(hz) {
  if (!(hz > 0) || !Number.isFinite(hz)) return '';
  const note = Math.round(69 + 12 * Math.log2(hz / 440));
  if (note < 0 || note > 127) return '';
  return ['C', 'C#', 'D', 'D#', 'E', 'F', 'F#', 'G', 'G#', 'A', 'A#', 'B'][note % 12] +
      (Math.floor(note / 12) - 1);
}

// 1, 2 or 5 times a power of ten, giving at most maxTicks ticks over span.
function timeStep(span, maxTicks) {
  let unit = 10 ** Math.floor(Math.log10(Math.max(span, 1e-6) / maxTicks));
  for (;;) {
    for (const m of [1, 2, 5]) if (span / (m * unit) <= maxTicks) return m * unit;
    unit *= 10;
  }
}

export class Plot {
  constructor(canvas) {
    this.canvas = canvas;
    this.spectrogram = null;
    this.frames = null;  // {voices, shown, fps, count, frequencies, levels}: `voices` a frame
    this.duration = 0;
    this.start = 0;
    this.span = 1;
    this.visible = new Array(15).fill(true);
    this.labels = {time: 'time (s)', frequency: 'frequency (Hz)'};
    this.cache = null;
  }

  setRecording(spectrogram, seconds) {
    this.spectrogram = spectrogram;
    this.frames = null;
    this.duration = seconds;
    this.start = 0;
    this.span = Math.max(kMinSpan, seconds);
    this.cache = null;
  }

  setFrames(frames) {
    this.frames = frames;
    if (frames) this.duration = Math.max(this.duration, frames.count / frames.fps);
  }

  area() {
    return {x: kLeft, y: kTop, w: Math.max(1, this.canvas.width - kLeft - kRight),
            h: Math.max(1, this.canvas.height - kTop - kBottom)};
  }
  xFor(seconds) { const a = this.area(); return a.x + (seconds - this.start) / this.span * a.w; }
  secondsFor(x) { const a = this.area(); return this.start + (x - a.x) / a.w * this.span; }
  yFor(hz) {
    const a = this.area();
    return a.y + a.h - Math.log(Math.max(hz, 1e-9) / kMinHz) / Math.log(kMaxHz / kMinHz) * a.h;
  }
  hzFor(y) {
    const a = this.area();
    return kMinHz * Math.exp((a.y + a.h - y) / a.h * Math.log(kMaxHz / kMinHz));
  }

  // Keeps the view inside the recording and at least kMinSpan wide.
  setView(start, span) {
    const whole = Math.max(kMinSpan, this.duration);
    this.span = Math.min(whole, Math.max(kMinSpan, span));
    this.start = Math.min(Math.max(0, start), whole - this.span);
    this.cache = null;
  }
  zoom(factor, aroundSeconds = this.start + this.span / 2) {
    const span = this.span / factor;
    this.setView(aroundSeconds - (aroundSeconds - this.start) * span / this.span, span);
  }
  whole() { this.setView(0, this.duration); }

  draw() {
    const g = this.canvas.getContext('2d');
    const a = this.area();
    g.fillStyle = '#fafafa';
    g.fillRect(0, 0, this.canvas.width, this.canvas.height);
    if (!this.cache) this.cache = this.spectrogramImage(g, a);
    g.putImageData(this.cache, a.x, a.y);
    g.save();
    g.beginPath();
    g.rect(a.x, a.y, a.w, a.h);
    g.clip();
    g.strokeStyle = 'rgba(255,255,255,0.2)';
    for (const hz of kTicks) this.line(g, a.x, this.yFor(hz), a.x + a.w, this.yFor(hz));
    this.drawTracks(g);
    g.restore();
    this.drawAxes(g, a);
  }

  // Each column shows its nearest frame; each row interpolates between the two bins around
  // its frequency.
  spectrogramImage(g, a) {
    const image = g.createImageData(a.w, a.h);
    const s = this.spectrogram;
    const rgba = image.data;
    const floor = heat(0);
    for (let i = 0; i < rgba.length; i += 4) {
      rgba[i] = floor[0]; rgba[i + 1] = floor[1]; rgba[i + 2] = floor[2]; rgba[i + 3] = 255;
    }
    if (!s || s.frames === 0) return image;
    const binOfRow = new Float64Array(a.h);
    for (let y = 0; y < a.h; ++y) binOfRow[y] = Math.min(s.bins - 1.001, this.hzFor(a.y + y + 0.5) / s.binHz);
    for (let x = 0; x < a.w; ++x) {
      const frame = Math.round(this.secondsFor(a.x + x + 0.5) / s.hopSeconds);
      if (!(frame >= 0 && frame < s.frames)) continue;
      const row = frame * s.bins;
      for (let y = 0; y < a.h; ++y) {
        const b = binOfRow[y], b0 = Math.floor(b);
        const v = s.db[row + b0] + (s.db[row + b0 + 1] - s.db[row + b0]) * (b - b0);
        const c = heat((v - (s.maxDb - kRangeDb)) / kRangeDb);
        const i = (y * a.w + x) * 4;
        rgba[i] = c[0]; rgba[i + 1] = c[1]; rgba[i + 2] = c[2];
      }
    }
    return image;
  }

  // A line from each sounding frame to the next sounding one; a silent frame breaks it. The
  // width and opacity follow the level against the loudest (square root: levels are linear
  // amplitudes, and quiet partials should stay visible).
  drawTracks(g) {
    const f = this.frames;
    if (!f || f.count === 0) return;
    let peak = 1;
    for (const level of f.levels) peak = Math.max(peak, level);
    const first = Math.max(0, Math.floor(this.start * f.fps) - 1);
    const last = Math.min(f.count - 1, Math.ceil((this.start + this.span) * f.fps) + 1);
    g.lineCap = 'round';
    for (let v = 0; v < f.shown; ++v) {
      if (!this.visible[v]) continue;
      g.strokeStyle = kSlotColours[v % kSlotColours.length];
      const sounding = (k) => k <= last && f.levels[k * f.voices + v] > 0 && f.frequencies[k * f.voices + v] > 0;
      const point = (k) => [this.xFor((k + 0.5) / f.fps), this.yFor(f.frequencies[k * f.voices + v] / 10)];
      for (let k = first; k <= last; ++k) {
        if (!sounding(k)) continue;
        const strength = Math.sqrt(Math.min(1, f.levels[k * f.voices + v] / peak));
        g.globalAlpha = 0.25 + 0.75 * strength;
        g.lineWidth = 1.2 + 2 * strength;
        const [x, y] = point(k);
        if (sounding(k + 1)) {
          const [x2, y2] = point(k + 1);
          this.line(g, x, y, x2, y2);
        } else {
          const half = (this.xFor(1 / f.fps) - this.xFor(0)) / 2;
          this.line(g, x - half, y, x + half, y);
        }
      }
    }
    g.globalAlpha = 1;
  }

  drawAxes(g, a) {
    g.strokeStyle = '#282828';
    g.fillStyle = '#282828';
    g.lineWidth = 1;
    g.strokeRect(a.x + 0.5, a.y + 0.5, a.w - 1, a.h - 1);
    g.font = '12px sans-serif';
    g.textAlign = 'right';
    g.textBaseline = 'middle';
    for (const hz of kTicks) {
      const y = this.yFor(hz);
      this.line(g, a.x - 5, y, a.x, y);
      g.fillText(hz >= 1000 ? `${hz / 1000}k` : `${hz}`, a.x - 8, y);
    }
    g.textAlign = 'center';
    g.textBaseline = 'top';
    const step = timeStep(this.span, Math.max(2, Math.floor(a.w / 70)));
    for (let t = Math.ceil(this.start / step) * step; t <= this.start + this.span + step * 1e-6; t += step) {
      const x = this.xFor(t);
      this.line(g, x, a.y + a.h, x, a.y + a.h + 5);
      g.fillText(`${Number(t.toPrecision(6))}`, x, a.y + a.h + 8);
    }
    g.fillText(this.labels.time, a.x + a.w / 2, a.y + a.h + 24);
    g.save();
    g.translate(14, a.y + a.h / 2);
    g.rotate(-Math.PI / 2);
    g.fillText(this.labels.frequency, 0, -8);
    g.restore();
  }

  line(g, x1, y1, x2, y2) {
    g.beginPath();
    g.moveTo(x1, y1);
    g.lineTo(x2, y2);
    g.stroke();
  }

  // What lies under the pointer: the time, the frame, and the visible sounding partial
  // nearest it on the logarithmic frequency axis. Null outside the data area.
  readoutAt(x, y) {
    const a = this.area();
    if (x < a.x || x > a.x + a.w || y < a.y || y > a.y + a.h) return null;
    const seconds = this.secondsFor(x);
    const f = this.frames;
    const frame = f ? Math.floor(seconds * f.fps) : -1;
    if (!f || frame < 0 || frame >= f.count) return {seconds};
    const hz = this.hzFor(y);
    let best = -1, bestDistance = 0;
    for (let v = 0; v < f.shown; ++v) {
      const level = f.levels[frame * f.voices + v], tenths = f.frequencies[frame * f.voices + v];
      if (!this.visible[v] || level <= 0 || tenths <= 0) continue;
      const distance = Math.abs(Math.log(tenths / 10 / hz));
      if (best < 0 || distance < bestDistance) { best = v; bestDistance = distance; }
    }
    if (best < 0) return {seconds, frame};
    const partialHz = f.frequencies[frame * f.voices + best] / 10;
    return {seconds, frame, partial: best + 1, hz: partialHz, note: noteName(partialHz),
            db: 20 * Math.log10(f.levels[frame * f.voices + best] / kFullScale)};
  }
}
