// The page: open a recording, analyse it in the engine's worker, see the partials over the
// spectrogram, build the MIDI file, hear it rendered, play it to a MIDI port, download it all.

import {EngineClient} from './engine_client.js';
import {kOptionTexts, kTexts, pickLanguage} from './i18n.js';
import {MidiPlayer, midiOutputs} from './midi_out.js';
import {Plot, kSlotColours} from './plot.js';
import {parseSmf} from './smf.js';
import {computeSpectrogram} from './spectrogram.js';
import {convertRecording, encodeWave, isEngineWave, kRate, monoOfWave, waveInfo} from './wave.js';

const $ = (id) => document.getElementById(id);
// Options of the command lines that have no place on a page.
const kCliOnly = new Set(['quiet', 'threads', 'output', 'convert', 'plot', 'render', 'keep-lead-in',
                          'start', 'length', 'debug', 'help', 'version']);

let lang = pickLanguage();
const t = (key, ...args) => {
  const text = kTexts[lang][key];
  return typeof text === 'function' ? text(...args) : text;
};

const engine = new EngineClient('worker.js');
const plot = new Plot($('plot'));
const state = {recording: null, dat: null, datName: '', frames: null, midi: null, smf: null,
               rendered: null, player: null, methods: [], busy: false};
const renderers = {};  // redraw the words of statuses on a change of language
const fieldWords = new Map();  // by input id: relabel a form's field on a change of language

function baseName(name) {
  const dot = name.lastIndexOf('.');
  return dot > 0 ? name.slice(0, dot) : name;
}

// A status line; `render` gives its content in the current language.
function setStatus(id, render, refused = false) {
  const el = $(id);
  el.classList.toggle('refused', refused);
  renderers[id] = render;
  el.replaceChildren(...[].concat(render ? render() : []));
}

// The engine's fixed message; in the English page its English meaning follows it.
function outcome(result) {
  const line = document.createElement('span');
  line.textContent = result.message;
  if (lang !== 'en' || !result.english) return [line];
  const english = document.createElement('span');
  english.className = 'english';
  english.textContent = result.english;
  return [line, english];
}

function applyLanguage() {
  document.documentElement.lang = lang;
  for (const el of document.querySelectorAll('[data-t]')) el.textContent = t(el.dataset.t);
  $('lang-en').classList.toggle('current', lang === 'en');
  $('lang-ja').classList.toggle('current', lang === 'ja');
  plot.labels = {time: t('time'), frequency: t('frequency')};
  for (const [id, render] of Object.entries(renderers)) setStatus(id, render, $(id).classList.contains('refused'));
  for (const words of fieldWords.values()) words();
  if (state.recording) recordingLine();
  drawSlots();
  plot.draw();
}

function setLanguage(next) {
  lang = next;
  localStorage.setItem('language', lang);
  applyLanguage();
}

// ---- forms from the engine's option descriptions ----

// An option's label, input and help note; the label, the help and the values' words come from
// kOptionTexts in the page's language, else the option's name, `help` and each choice's label.
function field(form, name, help, choices, value) {
  const label = document.createElement('label');
  const input = document.createElement(choices.length ? 'select' : 'input');
  input.name = name;
  input.id = `option-${form.id}-${name}`;
  label.htmlFor = input.id;
  for (const choice of choices) {
    const option = document.createElement('option');
    option.value = choice.value;
    input.append(option);
  }
  input.value = value;
  if (choices.length && input.selectedIndex < 0) input.selectedIndex = 0;
  const note = document.createElement('div');
  note.className = 'help';
  form.append(label, input, note);
  const words = () => {
    const own = kOptionTexts[lang][name] || {};
    label.textContent = own.label || name;
    note.textContent = own.help || help;
    note.hidden = !note.textContent;
    choices.forEach((choice, i) => {
      input.options[i].textContent = (own.choices || {})[choice.value] || choice.label || choice.value;
    });
  };
  fieldWords.set(input.id, words);
  words();
  return input;
}

function buildForm(form, options, targets = []) {
  form.replaceChildren();
  for (const o of options) {
    if (kCliOnly.has(o.name)) continue;
    let choices = (o.choices || []).map((c) => (typeof c === 'string' ? {value: c} : {...c}));
    if (o.name === 'device') {
      // The engine's targets name the devices; any it offers beyond the model's come after.
      for (const target of targets) {
        const known = choices.find((c) => c.value.toLowerCase() === target.spelling.toLowerCase());
        const label = target.name && target.name !== target.spelling ? `${target.name} (${target.spelling})` : target.spelling;
        if (known) known.label = label;
        else choices.push({value: target.spelling, label});
      }
    }
    const value = o.default ?? o.defaultValue ?? o.value ?? (choices[0] ? choices[0].value : '');
    field(form, o.name, o.help || o.label || '', choices, String(value));
  }
}

function methodFields(form, methods) {
  if (methods.length < 2) return;
  const method = field(form, 'method', '', methods.map((m) => ({value: typeof m === 'string' ? m : m.name})), '');
  method.selectedIndex = 0;
  const voices = field(form, 'voices', '', [...Array(12)].map((_, i) => ({value: String(i + 4)})), '6');
  const rate = field(form, 'frame-rate', '', ['60', '120', '240'].map((value) => ({value})), '60');
  const update = () => {
    for (const input of [voices, rate]) {
      input.disabled = method.selectedIndex === 0;
      // The label before the field and its help note after it, dimmed with it.
      for (const near of [input.previousSibling, input.nextSibling]) {
        if (near && (near.tagName === 'LABEL' || near.classList.contains('help'))) near.style.opacity = input.disabled ? 0.5 : 1;
      }
    }
  };
  method.addEventListener('change', update);
  update();
}

// quorvel-cli's --bend-range and --budget, which the window does not have: the device's own
// range or one of the four, and no budget, a DIN cable's or a number of bytes a second.
function cableFields(form) {
  field(form, 'bend-range', '', ['', '2', '12', '24', '48'].map((value) => ({value})), '');
  const budget = field(form, 'budget', '', ['', 'din', 'bytes'].map((value) => ({value})), '');
  // The number of bytes goes between the choice and its help note.
  const bytes = document.createElement('input');
  Object.assign(bytes, {type: 'number', className: 'beside', name: 'budget-bytes',
                        id: 'option-build-form-budget-bytes',
                        min: 1000, max: 1000000, step: 1, value: 3125});
  budget.after(bytes);
  const update = () => { bytes.disabled = budget.value !== 'bytes'; };
  budget.addEventListener('change', update);
  update();
}

// The form's values by option name, as the command line spells them; the method's own
// options only with a method other than the first (the default).
function formOptions(form) {
  const options = {};
  for (const input of form.elements) {
    if (!input.name || input.disabled) continue;
    if (input.name === 'method' && input.selectedIndex === 0) continue;
    // No bend range or budget chosen: the device's own, and none.
    if ((input.name === 'bend-range' || input.name === 'budget') && !input.value) continue;
    if (input.name === 'budget-bytes') continue;
    options[input.name] = input.name === 'budget' && input.value === 'bytes'
      ? form.elements['budget-bytes'].value : input.value;
  }
  return options;
}

// ---- the recording ----

function recordingLine() {
  const r = state.recording;
  $('recording-line').textContent = t('recording', r.name, r.seconds, r.channels) +
      (r.converted ? ` (${t('converted')})` : '');
}

async function openRecording(bytes, name) {
  stopPort();
  const info = waveInfo(bytes);
  let recording;
  if (isEngineWave(info) && info.dataStart >= 0) {
    const mono = monoOfWave(bytes, info);
    recording = {name, engineName: name, wave: bytes, converted: false, mono, channels: info.channels};
  } else {
    try {
      const converted = await convertRecording(bytes);
      const wave = converted.wave;
      recording = {name, engineName: `${baseName(name)}.wav`, wave, converted: true,
                   mono: monoOfWave(wave, waveInfo(wave)), channels: converted.channels};
    } catch (e) {
      // Neither the engine's WAVE nor anything the browser decodes: the engine says why.
      recording = {name, engineName: name, wave: bytes, converted: false, mono: new Float32Array(0), channels: 1};
    }
  }
  recording.seconds = recording.mono.length / kRate;
  Object.assign(state, {recording, dat: null, frames: null, midi: null, smf: null, rendered: null});
  plot.setRecording(computeSpectrogram(recording.mono, kRate), recording.seconds);
  recordingLine();
  for (const id of ['analysis-status', 'build-status', 'listen-status']) setStatus(id, null);
  $('audio').removeAttribute('src');
  refresh();
  plot.draw();
}

async function openFile(file) {
  await openRecording(await file.arrayBuffer(), file.name);
}

// ---- analysis ----

async function analyse() {
  const r = state.recording;
  state.busy = true;
  refresh();
  $('progress').value = 0;
  setStatus('analysis-status', null);
  const progress = (fraction, secondsLeft) => {
    $('progress').value = fraction;
    $('progress-text').textContent = t('progress', Math.floor(fraction * 100), secondsLeft);
  };
  const result = await engine.analyse(r.wave, r.engineName, formOptions($('analysis-form')), progress);
  state.busy = false;
  $('progress-text').textContent = '';
  if (state.recording !== r) return;
  if (result.status === 'cancelled') {
    $('progress').value = 0;
    setStatus('analysis-status', () => t('cancelled'));
  } else if (result.status === 'written') {
    $('progress').value = 1;
    // A wide note-frame file starts with its magic; a DAT file has none, and its records hold
    // two slots beyond the six partials.
    const wide = new TextDecoder().decode(result.dat.slice(0, 4)) === 'WDAT';
    const f = {...result.frames, shown: wide ? result.frames.voices : Math.min(6, result.frames.voices)};
    Object.assign(state, {dat: result.dat, frames: f, datName: `${baseName(r.engineName)}.${wide ? 'wdat' : 'dat'}`,
                          midi: null, smf: null, rendered: null});
    plot.setFrames(f);
    fitVoiceChoices(wide ? f.voices : 0);
    setStatus('analysis-status', () => t('analysed', f.count, f.shown, f.fps));
  } else {
    setStatus('analysis-status', () => outcome(result), true);
  }
  drawSlots();
  refresh();
  plot.draw();
}

// A wide note-frame file may be built with 1 to 15 voices on up to 15 channels (quorvel-cli's
// --polyphony and --channels for a .wdat FILE): after a wide analysis the build form offers
// polyphony up to its voices and channels up to 15, and picks all its voices when there are
// more than six; after a DAT, only the model's buttons, as before.
function fitVoiceChoices(wideVoices) {
  const form = $('build-form');
  const chosen = {};
  for (const name of ['polyphony', 'channels']) {
    const select = form.elements[name];
    if (!select) continue;
    if (select.dataset.modelDefault === undefined) select.dataset.modelDefault = select.value;
    const previous = select.value;
    for (const option of [...select.options]) if (option.dataset.wide) option.remove();
    const top = name === 'polyphony' ? (wideVoices > 6 ? wideVoices : 6) : 15;
    for (let n = 1; wideVoices && n <= top; ++n) {
      const values = [...select.options].map((o) => Number(o.value));
      if (values.includes(n)) continue;
      const option = new Option(String(n), String(n));
      option.dataset.wide = '1';
      select.add(option, [...select.options].find((o) => Number(o.value) > n) || null);
    }
    const keep = [...select.options].some((o) => o.value === previous);
    chosen[name] = wideVoices > 6 ? String(wideVoices) : keep ? previous : select.dataset.modelDefault;
  }
  for (const [name, value] of Object.entries(chosen)) form.elements[name].value = value;
}

async function build() {
  const result = await engine.build(state.dat, state.datName, formOptions($('build-form')));
  if (result.status === 'written') {
    Object.assign(state, {midi: result.midi, smf: parseSmf(result.midi), rendered: null});
    setStatus('build-status', () => {
      if (!result.summary) return t('built', result.midi.byteLength);
      // What the cable budget did, in quorvel-cli's English words.
      const summary = document.createElement('span');
      summary.className = 'english';
      summary.textContent = result.summary;
      return [t('built', result.midi.byteLength), summary];
    });
  } else {
    Object.assign(state, {midi: null, smf: null});
    setStatus('build-status', () => outcome(result), true);
  }
  refresh();
}

// ---- listening ----

let renderWorker = null;
let soundFont = null;

async function render() {
  setStatus('listen-status', () => t('rendering'));
  $('render').disabled = true;
  try {
    if (!soundFont) soundFont = await (await fetch('sine.sf2')).arrayBuffer();
    if (!renderWorker) renderWorker = new Worker('render_worker.js');
    const notes = state.smf.events.filter((e) => (e.data[0] & 0xf0) === 0x90 && e.data[2] > 0);
    const events = state.smf.events;
    const rendered = await new Promise((resolve, reject) => {
      renderWorker.onmessage = (event) => {
        if (event.data.type === 'rendered') resolve(event.data);
        else setStatus('listen-status', () => `${t('rendering')} ${Math.floor(event.data.fraction * 100)} %`);
      };
      renderWorker.onerror = (event) => reject(new Error(event.message));
      renderWorker.postMessage({midi: state.midi, soundFont, startSeconds: notes.length ? notes[0].seconds : 0,
                                seconds: events.length ? events[events.length - 1].seconds : 0});
    });
    state.rendered = encodeWave([rendered.left, rendered.right]);
    playWave(state.rendered);
    setStatus('listen-status', () => t('rendered'));
  } catch (e) {
    setStatus('listen-status', () => `${t('failed')} ${e.message}`, true);
  }
  refresh();
}

function playWave(bytes) {
  const audio = $('audio');
  if (audio.src) URL.revokeObjectURL(audio.src);
  audio.src = URL.createObjectURL(new Blob([bytes], {type: 'audio/wav'}));
  audio.play().catch(() => {});
}

// ---- a MIDI port ----

let midi = null;

async function listPorts() {
  if (!midi) midi = await midiOutputs();
  const select = $('ports');
  const chosen = select.value;
  select.replaceChildren();
  if (midi.access) {
    for (const output of midi.access.outputs.values()) {
      const option = document.createElement('option');
      option.value = output.id;
      option.textContent = output.name;
      select.append(option);
    }
  }
  if (chosen) select.value = chosen;
  if (!select.options.length) setStatus('port-status', () => t('portNone'));
  refresh();
}

async function playPort() {
  await listPorts();
  const output = midi.access && midi.access.outputs.get($('ports').value);
  if (!output || !state.smf) return;
  state.player = new MidiPlayer(output, state.smf, midi.sysex, () => {
    state.player = null;
    setStatus('port-status', () => t('stopped'));
    refresh();
  });
  state.player.play();
  setStatus('port-status', () => t('playing'));
  refresh();
}

function stopPort() {
  if (state.player) state.player.stop();
}

// ---- downloads ----

function download(bytes, name, type) {
  const a = document.createElement('a');
  a.href = URL.createObjectURL(bytes instanceof Blob ? bytes : new Blob([bytes], {type}));
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 10000);
}

// ---- the picture's controls ----

function drawSlots() {
  const box = $('slots');
  box.replaceChildren();
  const voices = state.frames ? state.frames.shown : 0;
  for (let v = 0; v < voices; ++v) {
    const label = document.createElement('label');
    label.className = 'slot';
    const check = document.createElement('input');
    check.type = 'checkbox';
    check.checked = plot.visible[v];
    check.addEventListener('change', () => { plot.visible[v] = check.checked; plot.draw(); });
    const swatch = document.createElement('i');
    swatch.style.background = kSlotColours[v];
    label.append(check, swatch, `${t('partial')} ${v + 1}`);
    box.append(label);
  }
}

function syncScroll() {
  const scroll = $('scroll');
  const room = Math.max(0, plot.duration - plot.span);
  scroll.disabled = room <= 0;
  scroll.value = room > 0 ? Math.round(plot.start / room * 1000) : 0;
  plot.draw();
}

function refresh() {
  const s = state;
  $('analyse').disabled = !s.recording || s.busy || !engine.ready;
  $('cancel').disabled = !s.busy;
  $('build').disabled = !s.dat || s.busy;
  $('render').disabled = !s.midi;
  $('play-original').disabled = !s.recording || s.recording.mono.length === 0;
  $('midi-play').disabled = !s.smf || !!s.player;
  $('midi-stop').disabled = !s.player;
  $('download-dat').disabled = !s.dat;
  $('download-mid').disabled = !s.midi;
  $('download-wav').disabled = !s.rendered;
  $('download-png').disabled = !s.recording;
}

function wire() {
  $('lang-en').onclick = () => setLanguage('en');
  $('lang-ja').onclick = () => setLanguage('ja');
  $('file-input').onchange = (e) => e.target.files[0] && openFile(e.target.files[0]);
  for (const button of document.querySelectorAll('button.sample')) {
    button.onclick = async () => {
      const response = await fetch(`samples/${button.dataset.file}`);
      await openRecording(await response.arrayBuffer(), button.dataset.file);
    };
  }
  document.body.addEventListener('dragover', (e) => { e.preventDefault(); document.body.classList.add('dragging'); });
  document.body.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
  document.body.addEventListener('drop', (e) => {
    e.preventDefault();
    document.body.classList.remove('dragging');
    if (e.dataTransfer.files[0]) openFile(e.dataTransfer.files[0]);
  });
  $('analyse').onclick = analyse;
  $('cancel').onclick = () => engine.cancel();
  $('build').onclick = build;
  $('render').onclick = render;
  $('play-original').onclick = () => playWave(state.recording.wave);
  $('ports').onfocus = listPorts;
  $('midi-play').onclick = playPort;
  $('midi-stop').onclick = stopPort;
  const name = () => baseName(state.recording.engineName);
  $('download-dat').onclick = () => download(state.dat, state.datName, 'application/octet-stream');
  $('download-mid').onclick = () => download(state.midi, `${name()}.mid`, 'audio/midi');
  $('download-wav').onclick = () => download(state.rendered, `${name()}-rendered.wav`, 'audio/wav');
  $('download-png').onclick = () => $('plot').toBlob((blob) => download(blob, `${name()}.png`));
  $('zoom-in').onclick = () => { plot.zoom(2); syncScroll(); };
  $('zoom-out').onclick = () => { plot.zoom(0.5); syncScroll(); };
  $('zoom-whole').onclick = () => { plot.whole(); syncScroll(); };
  $('scroll').oninput = (e) => {
    plot.setView(e.target.value / 1000 * Math.max(0, plot.duration - plot.span), plot.span);
    plot.draw();
  };
  const canvas = $('plot');
  const pointer = (e) => {
    const box = canvas.getBoundingClientRect();
    return [(e.clientX - box.left) * canvas.width / box.width, (e.clientY - box.top) * canvas.height / box.height];
  };
  canvas.addEventListener('wheel', (e) => {
    e.preventDefault();
    const [x] = pointer(e);
    plot.zoom(e.deltaY < 0 ? 1.25 : 0.8, plot.secondsFor(x));
    syncScroll();
  }, {passive: false});
  canvas.addEventListener('mousemove', (e) => {
    const reading = plot.readoutAt(...pointer(e));
    $('readout').textContent = reading ? t('readout', reading) : '\u00a0';
  });
}

async function start() {
  wire();
  applyLanguage();
  refresh();
  setStatus('analysis-status', () => t('engineLoading'));
  let controls;
  try {
    controls = await engine.loadControls();
  } catch (e) {
    setStatus('analysis-status', () => `${t('failed')} ${e.message}`, true);
    return;
  }
  engine.ready = true;
  setStatus('analysis-status', null);
  buildForm($('analysis-form'), controls.analyser || []);
  methodFields($('analysis-form'), controls.methods || []);
  buildForm($('build-form'), controls.converter || [], controls.targets || []);
  cableFields($('build-form'));
  applyLanguage();
  refresh();
}

start();
