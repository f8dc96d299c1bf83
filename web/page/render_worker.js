// Renders a MIDI file with FluidSynth (js-synthesizer) and the sine SoundFont, off the page's
// thread: 44.1 kHz stereo floats, no reverb or chorus, gain 0.6, as the desktop rendering is
// made, from the first note on (the module's silent set-up before it is cut).
/* global JSSynth */
importScripts('lib/libfluidsynth.js', 'lib/js-synthesizer.min.js');

const kRate = 44100;
const kBlock = 4096;
// The desktop renderer's limit: longer files are refused rather than rendered for minutes.
const kMaxSeconds = 900;

onmessage = async (event) => {
  const {midi, soundFont, startSeconds, seconds} = event.data;
  await JSSynth.waitForReady();
  const synth = new JSSynth.Synthesizer();
  synth.init(kRate, {reverbActive: false, chorusActive: false, gain: 0.6});
  await synth.loadSFont(soundFont);
  await synth.addSMFDataToPlayer(midi);
  await synth.playPlayer();
  const skip = Math.round(startSeconds * kRate);
  const total = Math.min(kMaxSeconds * kRate, Math.ceil(seconds * kRate) + kRate);
  const left = new Float32Array(Math.max(0, total - skip));
  const right = new Float32Array(left.length);
  const block = [new Float32Array(kBlock), new Float32Array(kBlock)];
  let lastReport = 0;
  for (let done = 0; done < total && synth.isPlayerPlaying(); done += kBlock) {
    synth.render(block);
    for (let i = 0; i < kBlock; ++i) {
      const at = done + i - skip;
      if (at >= 0 && at < left.length) {
        left[at] = block[0][i];
        right[at] = block[1][i];
      }
    }
    if (done - lastReport > kRate) {
      lastReport = done;
      postMessage({type: 'progress', fraction: done / total});
    }
  }
  synth.close();
  postMessage({type: 'rendered', left, right}, [left.buffer, right.buffer]);
};
