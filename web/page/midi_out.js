// Plays a MIDI file to a Web MIDI output: events are handed to the port with timestamps a
// little ahead of time, so Stop can end the playing within that lead, and the reset messages
// follow every stop and the end.

import {resetMessages} from './smf.js';

const kLeadMs = 200;
const kTickMs = 50;

export async function midiOutputs() {
  if (!navigator.requestMIDIAccess) return {access: null, sysex: false};
  try {
    return {access: await navigator.requestMIDIAccess({sysex: true}), sysex: true};
  } catch (e) {
    try {
      return {access: await navigator.requestMIDIAccess(), sysex: false};
    } catch (e2) {
      return {access: null, sysex: false};
    }
  }
}

export class MidiPlayer {
  constructor(output, smf, sysex, onEnd) {
    this.output = output;
    this.events = sysex ? smf.events : smf.events.filter((e) => e.data[0] !== 0xf0);
    this.onEnd = onEnd;
    this.next = 0;
    this.timer = 0;
  }

  play() {
    this.origin = performance.now() + kLeadMs;
    this.timer = setInterval(() => this.pump(), kTickMs);
    this.pump();
  }

  pump() {
    const horizon = performance.now() + kLeadMs - this.origin;
    while (this.next < this.events.length && this.events[this.next].seconds * 1000 <= horizon) {
      const e = this.events[this.next++];
      this.lastStamp = this.origin + e.seconds * 1000;
      this.output.send(e.data, this.lastStamp);
    }
    if (this.next >= this.events.length) {
      const last = this.events.length ? this.events[this.events.length - 1].seconds * 1000 : 0;
      if (performance.now() >= this.origin + last) this.stop();
    }
  }

  // Drops what the port still holds where it can, and sends the resets after anything it may
  // still play.
  stop() {
    if (!this.timer) return;
    clearInterval(this.timer);
    this.timer = 0;
    if (this.output.clear) this.output.clear();
    const at = Math.max(performance.now(), this.lastStamp || 0);
    for (const message of resetMessages(this.events)) this.output.send(message, at);
    if (this.onEnd) this.onEnd();
  }
}
