// Standard MIDI Files for playing to a port: every track's channel and system-exclusive
// messages merged in time order, each at its time in seconds by the file's tempo map.

function readVarLen(bytes, at) {
  let value = 0;
  for (let i = 0; i < 4; ++i) {
    const b = bytes[at.p++];
    if (b === undefined) throw new Error('the MIDI file ends inside a number');
    value = value * 128 + (b & 0x7f);
    if (!(b & 0x80)) return value;
  }
  throw new Error('a number in the MIDI file is longer than four bytes');
}

const kDataBytes = {0x80: 2, 0x90: 2, 0xa0: 2, 0xb0: 2, 0xc0: 1, 0xd0: 1, 0xe0: 2};

// -> {division, events: [{tick, seconds, data: Uint8Array}]}; the tempo events are kept out
// of `events` and only time them. Throws on a damaged file.
export function parseSmf(buffer) {
  const bytes = new Uint8Array(buffer);
  const view = new DataView(buffer);
  const tag = (at) => String.fromCharCode(...bytes.subarray(at, at + 4));
  if (bytes.length < 14 || tag(0) !== 'MThd') throw new Error('not a MIDI file');
  const tracks = view.getUint16(10);
  const division = view.getUint16(12);
  if (division & 0x8000) throw new Error('SMPTE time is not played');
  const events = [], tempos = [];
  let at = 8 + view.getUint32(4);
  for (let t = 0; t < tracks && at + 8 <= bytes.length; ++t) {
    if (tag(at) !== 'MTrk') throw new Error('a track is missing');
    const end = Math.min(bytes.length, at + 8 + view.getUint32(at + 4));
    const cursor = {p: at + 8};
    let tick = 0, running = 0, order = 0;
    while (cursor.p < end) {
      tick += readVarLen(bytes, cursor);
      let status = bytes[cursor.p];
      if (status < 0x80) status = running; else cursor.p++;
      if (status === 0xff) {
        const type = bytes[cursor.p++];
        const length = readVarLen(bytes, cursor);
        if (type === 0x51 && length === 3) {
          tempos.push({tick, micros: (bytes[cursor.p] << 16) | (bytes[cursor.p + 1] << 8) | bytes[cursor.p + 2]});
        }
        cursor.p += length;
        if (type === 0x2f) break;
      } else if (status === 0xf0 || status === 0xf7) {
        const length = readVarLen(bytes, cursor);
        const body = bytes.subarray(cursor.p, cursor.p + length);
        const data = status === 0xf0 ? Uint8Array.of(0xf0, ...body) : Uint8Array.from(body);
        events.push({tick, track: t, order: order++, data});
        cursor.p += length;
      } else if (kDataBytes[status & 0xf0]) {
        running = status;
        const n = kDataBytes[status & 0xf0];
        events.push({tick, track: t, order: order++,
                     data: Uint8Array.of(status, ...bytes.subarray(cursor.p, cursor.p + n))});
        cursor.p += n;
      } else {
        throw new Error('an unknown event in the MIDI file');
      }
    }
    at = end;
  }
  // Merged by tick; at the same tick, by track, then in the track's order.
  events.sort((a, b) => a.tick - b.tick || a.track - b.track || a.order - b.order);
  tempos.sort((a, b) => a.tick - b.tick);
  let tempoIndex = 0, micros = 500000, lastTick = 0, seconds = 0;
  for (const event of events) {
    while (tempoIndex < tempos.length && tempos[tempoIndex].tick <= event.tick) {
      seconds += (tempos[tempoIndex].tick - lastTick) * micros / division / 1e6;
      lastTick = tempos[tempoIndex].tick;
      micros = tempos[tempoIndex++].micros;
    }
    event.seconds = seconds + (event.tick - lastTick) * micros / division / 1e6;
  }
  return {division, events};
}

// The messages that leave a module quiet and as set up after playing stops, on every channel
// the events use: all notes off, reset all controllers, pitch bend centred.
export function resetMessages(events) {
  const channels = new Set();
  for (const e of events) if (e.data[0] >= 0x80 && e.data[0] < 0xf0) channels.add(e.data[0] & 0x0f);
  const out = [];
  for (const c of [...channels].sort((a, b) => a - b)) {
    out.push([0xb0 | c, 123, 0], [0xb0 | c, 121, 0], [0xe0 | c, 0x00, 0x40]);
  }
  return out;
}
