// The engine's Web Worker: loads engine.js/engine.wasm, answers the page's messages
// ('controls', 'analyse', 'build') one at a time. A conversion runs to its end; the page
// cancels one by terminating the worker and starting another.
/* global importScripts, createEngine */
'use strict';

importScripts('engine.js');

let lastProgress = 0;
let currentId = null;
const ready = createEngine({
  onProgress(fraction, secondsLeft) {
    // The analysis reports at most every 100 ms already; keep to about ten a second anyway.
    const now = Date.now();
    if (now - lastProgress < 100 && fraction < 1) return;
    lastProgress = now;
    self.postMessage({type: 'progress', id: currentId, fraction, secondsLeft});
  },
});

const statusNames = ['written', 'refused', 'failed'];

// Copies `bytes` into the module's memory; the caller frees the pointer.
function copyIn(engine, bytes) {
  const view = new Uint8Array(bytes);
  const pointer = engine._malloc(Math.max(view.length, 1));
  engine.HEAPU8.set(view, pointer);
  return pointer;
}

function cString(engine, text) {
  const size = engine.lengthBytesUTF8(text) + 1;
  const pointer = engine._malloc(size);
  engine.stringToUTF8(text, pointer, size);
  return pointer;
}

// The options object as the engine reads it: "name=value" lines.
function optionText(options) {
  return Object.entries(options || {})
      .map(([name, value]) => `${name}=${String(value).replace(/\n/g, ' ')}`)
      .join('\n');
}

// Runs engine_analyse or engine_build on a file image and gathers the outcome.
function convert(engine, fn, bytes, name, options) {
  const data = copyIn(engine, bytes);
  const namePointer = cString(engine, name || '');
  const optionPointer = cString(engine, optionText(options));
  let status;
  try {
    status = fn(data, new Uint8Array(bytes).length, namePointer, optionPointer);
  } finally {
    engine._free(data);
    engine._free(namePointer);
    engine._free(optionPointer);
  }
  const size = engine._engine_output_size();
  const pointer = engine._engine_output();
  return {
    status: statusNames[status] || 'failed',
    message: engine.UTF8ToString(engine._engine_message()),
    english: engine.UTF8ToString(engine._engine_english()),
    summary: engine.UTF8ToString(engine._engine_summary()),
    output: status === 0 ? engine.HEAPU8.slice(pointer, pointer + size).buffer : null,
  };
}

function frames(engine) {
  const voices = engine._engine_voices();
  const count = engine._engine_frame_count();
  const values = voices * count;
  const frequencies = engine._engine_frequencies() >> 2;
  const levels = engine._engine_levels() >> 2;
  return {
    voices,
    fps: engine._engine_frames_per_second(),
    count,
    frequencies: engine.HEAP32.slice(frequencies, frequencies + values),
    levels: engine.HEAP32.slice(levels, levels + values),
  };
}

self.onmessage = async (event) => {
  const request = event.data;
  const engine = await ready;
  if (request.type === 'controls') {
    const controls = JSON.parse(engine.UTF8ToString(engine._engine_controls()));
    self.postMessage({type: 'controls', ...controls});
  } else if (request.type === 'analyse') {
    currentId = request.id;
    lastProgress = 0;
    const result = convert(engine, engine._engine_analyse, request.wave, request.name,
                           request.options);
    const written = result.status === 'written';
    const reply = {
      type: 'analysed', id: request.id, status: result.status, message: result.message,
      english: result.english, dat: result.output, frames: written ? frames(engine) : null,
    };
    const transfer = written ? [reply.dat, reply.frames.frequencies.buffer,
                                reply.frames.levels.buffer] : [];
    self.postMessage(reply, transfer);
  } else if (request.type === 'build') {
    const result = convert(engine, engine._engine_build, request.dat, request.name,
                           request.options);
    self.postMessage({type: 'built', id: request.id, status: result.status,
                      message: result.message, english: result.english, summary: result.summary,
                      midi: result.output},
                     result.output ? [result.output] : []);
  }
};
