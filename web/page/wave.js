// WAVE files in the page: which ones the engine reads as they are, the samples of those for
// the picture, and the 16-bit WAVE made of anything else the browser decodes.

export const kRate = 44100;

// The PCM format of a RIFF WAVE file's "fmt " chunk, and where its "data" chunk lies, or null
// when the bytes are no RIFF WAVE file. The data chunk's length is clipped to the bytes there.
export function waveInfo(bytes) {
  const view = new DataView(bytes);
  const tag = (at) => String.fromCharCode(...new Uint8Array(bytes, at, 4));
  if (bytes.byteLength < 12 || tag(0) !== 'RIFF' || tag(8) !== 'WAVE') return null;
  const info = {format: 0, channels: 0, rate: 0, bits: 0, dataStart: -1, dataLength: 0};
  for (let at = 12; at + 8 <= bytes.byteLength;) {
    const id = tag(at);
    const size = view.getUint32(at + 4, true);
    if (id === 'fmt ' && at + 24 <= bytes.byteLength) {
      info.format = view.getUint16(at + 8, true);
      info.channels = view.getUint16(at + 10, true);
      info.rate = view.getUint32(at + 12, true);
      info.bits = view.getUint16(at + 22, true);
    } else if (id === 'data') {
      info.dataStart = at + 8;
      info.dataLength = Math.min(size, bytes.byteLength - info.dataStart);
      break;
    }
    at += 8 + size + (size & 1);
  }
  return info;
}

// A WAVE the engine's own loader takes as it is: 16-bit PCM at 44.1 kHz, mono or stereo.
export function isEngineWave(info) {
  return info !== null && info.format === 1 && info.rate === kRate && info.bits === 16 &&
      (info.channels === 1 || info.channels === 2);
}

// Mono floats (full scale 1.0) of a 16-bit PCM WAVE, channels averaged.
export function monoOfWave(bytes, info) {
  const channels = Math.max(1, info.channels);
  const frames = Math.floor(info.dataLength / (2 * channels));
  const view = new DataView(bytes, info.dataStart, frames * 2 * channels);
  const mono = new Float32Array(frames);
  for (let f = 0; f < frames; ++f) {
    let sum = 0;
    for (let c = 0; c < channels; ++c) sum += view.getInt16((f * channels + c) * 2, true);
    mono[f] = sum / channels / 32768;
  }
  return mono;
}

// A 16-bit PCM WAVE of float channels (full scale 1.0), rounded to the nearest step.
export function encodeWave(channels, rate = kRate) {
  const count = channels.length;
  const frames = count ? channels[0].length : 0;
  const bytes = new ArrayBuffer(44 + frames * count * 2);
  const view = new DataView(bytes);
  const text = (at, s) => [...s].forEach((ch, i) => view.setUint8(at + i, ch.charCodeAt(0)));
  text(0, 'RIFF');
  view.setUint32(4, 36 + frames * count * 2, true);
  text(8, 'WAVE');
  text(12, 'fmt ');
  view.setUint32(16, 16, true);
  view.setUint16(20, 1, true);
  view.setUint16(22, count, true);
  view.setUint32(24, rate, true);
  view.setUint32(28, rate * count * 2, true);
  view.setUint16(32, count * 2, true);
  view.setUint16(34, 16, true);
  text(36, 'data');
  view.setUint32(40, frames * count * 2, true);
  let at = 44;
  for (let f = 0; f < frames; ++f) {
    for (let c = 0; c < count; ++c) {
      const s = Math.round(channels[c][f] * 32768);
      view.setInt16(at, Math.max(-32768, Math.min(32767, s)), true);
      at += 2;
    }
  }
  return bytes;
}

// Any recording the browser decodes, at 44.1 kHz (the browser resamples while decoding into
// a 44.1 kHz context): one or two channels kept, more averaged to one, as a 16-bit WAVE.
// Throws when the browser cannot decode it.
export async function convertRecording(bytes) {
  const context = new OfflineAudioContext(1, 1, kRate);
  const buffer = await context.decodeAudioData(bytes.slice(0));
  let channels = [];
  for (let c = 0; c < buffer.numberOfChannels; ++c) channels.push(buffer.getChannelData(c));
  if (channels.length > 2) {
    const mono = new Float32Array(buffer.length);
    for (const data of channels) data.forEach((v, i) => { mono[i] += v / channels.length; });
    channels = [mono];
  }
  return {wave: encodeWave(channels), rate: buffer.sampleRate, channels: channels.length,
          seconds: buffer.duration};
}
