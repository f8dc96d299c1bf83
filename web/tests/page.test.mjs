// The page in a headless browser: the bundled samples analysed and built as the command lines
// do it, byte for byte; a refusal, a conversion, Cancel, the rendering, playing to a MIDI
// port, and the screenshots of both languages.
import assert from 'node:assert/strict';
import {execFileSync, spawnSync} from 'node:child_process';
import {copyFileSync, mkdtempSync, readFileSync, rmSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {dirname, join, resolve} from 'node:path';
import {after, before, test} from 'node:test';
import {fileURLToPath} from 'node:url';

import midiFile from 'midi-file';
import {chromium} from 'playwright-core';

import {serve} from './server.mjs';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
const site = resolve(root, process.env.WEB_SITE || 'build-web/site');
const sevraneCli = resolve(root, process.env.SEVRANE_CLI || 'build/apps/sevrane-cli');
const quorvelCli = resolve(root, process.env.QUORVEL_CLI || 'build/apps/quorvel-cli');
const work = mkdtempSync(join(tmpdir(), 'web-test-'));

let server, context, page, firstLoad;

// A fake Web MIDI output that records what is sent to it, with its timestamps.
function fakeMidi() {
  window.sentToPort = [];
  const output = {id: 'fake', name: 'Fake module', type: 'output',
                  send(data, timestamp) { window.sentToPort.push({data: Array.from(data), timestamp}); }};
  navigator.requestMIDIAccess = async () => ({outputs: new Map([['fake', output]]), inputs: new Map()});
}

before(async () => {
  server = await serve(site);
  context = await chromium.launchPersistentContext(mkdtempSync(join(work, 'profile-')), {
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium', headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
           '--disable-sync', '--no-first-run', '--autoplay-policy=no-user-gesture-required'],
    viewport: {width: 1100, height: 1050}, acceptDownloads: true});
  // The machine may be busy with builds: wait longer than playwright's 30 s before failing.
  context.setDefaultTimeout(90000);
  await context.addInitScript(fakeMidi);
  page = await context.newPage();
  page.on('pageerror', (error) => console.error('page error:', error.message));
  await page.goto(`http://127.0.0.1:${server.address().port}/?lang=en`);
  await page.waitForSelector('#option-analysis-form-unit', {timeout: 30000});
  firstLoad = server.served.splice(0);
});

after(async () => {
  await context?.close();
  server?.close();
  rmSync(work, {recursive: true, force: true});
});

const enabled = (id) => page.waitForFunction((i) => !document.getElementById(i).disabled, id, {timeout: 120000, polling: 100});

async function downloaded(buttonId) {
  const [download] = await Promise.all([page.waitForEvent('download'), page.click(`#${buttonId}`)]);
  return {name: download.suggestedFilename(), bytes: readFileSync(await download.path())};
}

async function openFile(path) {
  await page.setInputFiles('#file-input', path);
  await enabled('analyse');
}

async function analyse() {
  await page.click('#analyse');
  await page.waitForFunction(() => document.getElementById('cancel').disabled, null, {timeout: 120000, polling: 100});
}

// The command line's outcome on a copy of `file` in a fresh folder: its output and messages.
function cli(program, file, args, output) {
  const folder = mkdtempSync(join(work, 'cli-'));
  const input = join(folder, file.split('/').pop());
  copyFileSync(file, input);
  const run = spawnSync(program, ['--quiet', ...args, input], {encoding: 'utf8'});
  let bytes = null;
  try { bytes = readFileSync(join(folder, output)); } catch { /* refused */ }
  return {status: run.status, stderr: run.stderr.trim().split('\n'), bytes};
}

test('the samples give the command lines\' DAT and MIDI bytes, with the options as chosen', async () => {
  for (const [sample, analysis, build] of [
    ['english', {}, {}],
    ['japanese', {unit: '30'}, {device: 'sc-8850', 'pitch-sort': 'off', polyphony: '5'}],
    // A wide file from the tracking analysis; the build takes its voices beyond the buttons.
    ['japanese', {unit: '60', method: 'tracked', voices: '12', 'frame-rate': '120'}, {device: 'gm', 'pitch-sort': 'off', polyphony: '11', channels: '13'}],
    ['english', {method: 'seed', unit: '60'}, {device: 'mpe', 'pitch-sort': 'on', polyphony: '6', 'bend-range': '48', budget: 'din'}]]) {
    const file = `${sample}.${analysis.voices ? 'wdat' : 'dat'}`;
    await page.click(`button.sample[data-file="${sample}.wav"]`);
    await page.waitForFunction((s) => document.getElementById('recording-line').textContent.startsWith(s), sample, {polling: 100});
    await enabled('analyse');
    for (const [name, value] of Object.entries(analysis)) await page.selectOption(`#option-analysis-form-${name}`, value);
    await analyse();
    const dat = await downloaded('download-dat');
    const cliArgs = Object.entries(analysis).flatMap(([k, v]) => [`--${k}`, v]);
    const wanted = cli(sevraneCli, join(root, `samples/${sample}.wav`), cliArgs, file);
    assert.equal(dat.name, file);
    assert.ok(wanted.bytes && dat.bytes.equals(wanted.bytes), `${file} differs from sevrane-cli's`);

    for (const [name, value] of Object.entries(build)) await page.selectOption(`#option-build-form-${name}`, value);
    await page.click('#build');
    await enabled('download-mid');
    const mid = await downloaded('download-mid');
    writeFileSync(join(work, file), dat.bytes);
    const built = cli(quorvelCli, join(work, file), Object.entries(build).flatMap(([k, v]) => [`--${k}`, v]),
                      `${sample}.mid`);
    assert.equal(mid.name, `${sample}.mid`);
    assert.ok(built.bytes && mid.bytes.equals(built.bytes), `${sample}.mid differs from quorvel-cli's`);
    // With a cable budget, quorvel-cli's summary of what it did follows the page's line.
    const summary = built.stderr.filter((line) => line.startsWith('budget: '));
    assert.deepEqual(await page.$$eval('#build-status .english', (s) => s.map((e) => e.textContent)), summary);
  }
  for (const name of ['device', 'bend-range', 'budget']) await page.selectOption(`#option-build-form-${name}`, {index: 0});
  await page.selectOption('#option-analysis-form-method', {index: 0});
});

test('a refused recording shows the command line\'s message and its English meaning; others are converted', async () => {
  // A 44.1 kHz 16-bit WAVE whose data chunk claims more bytes than the file holds.
  const good = readFileSync(join(root, 'samples/english.wav'));
  const cut = join(work, 'cut.wav');
  writeFileSync(cut, good.subarray(0, 20000));
  await openFile(cut);
  await analyse();
  const wanted = cli(sevraneCli, cut, [], 'cut.dat');
  assert.equal(wanted.status, 1);
  assert.deepEqual(await page.$$eval('#analysis-status span', (s) => s.map((e) => e.textContent)), wanted.stderr);

  // 48 kHz, 8-bit: decoded and resampled by the browser, said so, and analysed.
  const rate = 48000, frames = rate / 2;
  const wave = Buffer.alloc(44 + frames);
  wave.write('RIFF', 0); wave.writeUInt32LE(36 + frames, 4); wave.write('WAVEfmt ', 8);
  wave.writeUInt32LE(16, 16); wave.writeUInt16LE(1, 20); wave.writeUInt16LE(1, 22);
  wave.writeUInt32LE(rate, 24); wave.writeUInt32LE(rate, 28); wave.writeUInt16LE(1, 32); wave.writeUInt16LE(8, 34);
  wave.write('data', 36); wave.writeUInt32LE(frames, 40);
  for (let i = 0; i < frames; ++i) wave[44 + i] = 128 + Math.round(100 * Math.sin(2 * Math.PI * 440 * i / rate));
  writeFileSync(join(work, 'tone48k.wav'), wave);
  await openFile(join(work, 'tone48k.wav'));
  await page.selectOption('#option-analysis-form-unit', '60');
  assert.match(await page.textContent('#recording-line'), /tone48k\.wav: 0\.50 s, 44100 Hz, mono \(converted by the browser/);
  await analyse();
  assert.match(await page.textContent('#analysis-status'), /^Analysed: \d+ frames of 6 partials at 60 a second/);

  // The builder's refusals likewise, here of its DAT file.
  writeFileSync(join(work, 'tone48k.dat'), (await downloaded('download-dat')).bytes);
  await page.fill('#option-build-form-tempo', '20');
  await page.click('#build');
  await page.waitForSelector('#build-status.refused');
  const refusal = cli(quorvelCli, join(work, 'tone48k.dat'), ['--tempo', '20'], 'tone48k.mid');
  assert.deepEqual(await page.$$eval('#build-status span', (s) => s.map((e) => e.textContent)), refusal.stderr);
  await page.fill('#option-build-form-tempo', '120.0');
});

test('Cancel stops an analysis, and the next one, of a dropped file, runs', async () => {
  // 60 s of a gliding tone: long enough to be cancelled while it runs.
  const frames = 44100 * 60;
  const wave = Buffer.alloc(44 + frames * 2);
  wave.write('RIFF', 0); wave.writeUInt32LE(36 + frames * 2, 4); wave.write('WAVEfmt ', 8);
  wave.writeUInt32LE(16, 16); wave.writeUInt16LE(1, 20); wave.writeUInt16LE(1, 22); wave.writeUInt32LE(44100, 24);
  wave.writeUInt32LE(88200, 28); wave.writeUInt16LE(2, 32); wave.writeUInt16LE(16, 34);
  wave.write('data', 36); wave.writeUInt32LE(frames * 2, 40);
  for (let i = 0, phase = 0; i < frames; ++i) {
    phase += 2 * Math.PI * (200 + i / 441) / 44100;
    wave.writeInt16LE(Math.round(8000 * Math.sin(phase)), 44 + 2 * i);
  }
  writeFileSync(join(work, 'long.wav'), wave);
  await openFile(join(work, 'long.wav'));
  await page.click('#analyse');
  await page.waitForFunction(() => document.getElementById('progress').value > 0, null, {timeout: 60000, polling: 100});
  await page.click('#cancel');
  await page.waitForFunction(() => document.getElementById('analysis-status').textContent === 'Cancelled.', null, {polling: 100});
  assert.ok(await page.isDisabled('#download-dat'));
  // A recording dropped on the page opens as one chosen does.
  const dataTransfer = await page.evaluateHandle((base64) => {
    const transfer = new DataTransfer();
    transfer.items.add(new File([Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))], 'english.wav'));
    return transfer;
  }, readFileSync(join(root, 'samples/english.wav')).toString('base64'));
  await page.dispatchEvent('main', 'drop', {dataTransfer});
  await page.waitForFunction(() => document.getElementById('recording-line').textContent.startsWith('english.wav: 3.85 s'),
                             null, {polling: 100});
  await enabled('analyse');
  await analyse();
  assert.match(await page.textContent('#analysis-status'), /^Analysed: /);
});

test('the read-out under the pointer gives the DAT file\'s partials; zoom and scroll move the time shown', async () => {
  const dat = cli(sevraneCli, join(root, 'samples/english.wav'), [], 'english.dat').bytes;
  await page.locator('#plot').scrollIntoViewIfNeeded();
  const box = await page.locator('#plot').boundingBox();
  const read = async (fx) => {
    await page.mouse.move(box.x + box.width * fx, box.y + box.height * 0.5);
    return page.textContent('#readout');
  };
  let partials = 0;
  for (let fx = 0.12; fx < 0.9; fx += 0.02) {
    const text = await read(fx);
    const m = /^Frame (\d+) at ([\d.]+) s(?: · partial (\d): ([\d.]+) Hz \(([A-G]#?-?\d)\), (-[\d.]+) dB)?$/.exec(text);
    assert.ok(m, text);
    assert.ok(Math.abs(Number(m[2]) * 60 - Number(m[1]) - 0.5) <= 0.51, text);
    if (!m[3]) continue;
    const at = Number(m[1]) * 64 + (Number(m[3]) - 1) * 8;
    assert.deepEqual([m[4], m[6]], [(dat.readInt32LE(at + 4) / 10).toFixed(1),
                                    (20 * Math.log10(dat.readInt32LE(at) / 8388608)).toFixed(1)], text);
    ++partials;
  }
  assert.ok(partials > 10);

  const seconds = async (fx) => Number(/([\d.]+) s/.exec(await read(fx))[1]);
  const whole = await seconds(0.8) - await seconds(0.2);
  await page.click('#zoom-in');
  await page.click('#zoom-in');
  assert.ok(Math.abs((await seconds(0.8) - await seconds(0.2)) / whole - 0.25) < 0.01);
  const before = await seconds(0.5);
  await page.locator('#scroll').fill('1000');
  assert.ok(await seconds(0.5) > before + whole / 3);
  await page.click('#zoom-whole');
});

// The file's channel and system-exclusive messages in time order, read by another parser.
function messagesOf(bytes) {
  const parsed = midiFile.parseMidi(bytes);
  const events = [];
  let micros = 500000;
  parsed.tracks.forEach((track, t) => {
    let tick = 0;
    track.forEach((e, order) => {
      tick += e.deltaTime;
      const c = e.channel;
      const data = {noteOn: () => [0x90 | c, e.noteNumber, e.velocity], noteOff: () => [(e.byte9 ? 0x90 : 0x80) | c, e.noteNumber, e.velocity],
                    controller: () => [0xb0 | c, e.controllerType, e.value], programChange: () => [0xc0 | c, e.programNumber],
                    pitchBend: () => [0xe0 | c, (e.value + 8192) & 0x7f, (e.value + 8192) >> 7],
                    sysEx: () => [0xf0, ...e.data]}[e.type];
      if (e.type === 'setTempo') micros = e.microsecondsPerBeat;
      if (data) events.push({tick, t, order, data: data()});
    });
  });
  events.sort((a, b) => a.tick - b.tick || a.t - b.t || a.order - b.order);
  return {events, msPerTick: micros / 1000 / parsed.header.ticksPerBeat};
}

test('a MIDI port gets the file\'s events in order and on time, then the resets after the end and after Stop', async () => {
  await page.click('#build');
  await enabled('download-mid');
  const mid = await downloaded('download-mid');
  const file = messagesOf(mid.bytes);
  const channels = [...new Set(file.events.filter((e) => e.data[0] < 0xf0).map((e) => e.data[0] & 15))].sort((a, b) => a - b);
  const resets = channels.flatMap((c) => [[0xb0 | c, 123, 0], [0xb0 | c, 121, 0], [0xe0 | c, 0, 0x40]]);

  await page.focus('#ports');
  await enabled('midi-play');
  await page.click('#midi-play');
  await page.waitForFunction(() => document.getElementById('midi-stop').disabled, null, {timeout: 30000, polling: 100});
  const whole = await page.evaluate(() => window.sentToPort.splice(0));
  assert.deepEqual(whole.map((m) => m.data), [...file.events.map((e) => e.data), ...resets]);
  for (let i = 1; i < file.events.length; ++i) {
    const wanted = (file.events[i].tick - file.events[0].tick) * file.msPerTick;
    assert.ok(Math.abs(whole[i].timestamp - whole[0].timestamp - wanted) < 0.01, `event ${i} off time`);
  }
  const last = whole[file.events.length - 1].timestamp;
  assert.ok(whole.slice(file.events.length).every((m) => m.timestamp >= last));

  await page.click('#midi-play');
  await page.waitForTimeout(600);
  await page.click('#midi-stop');
  const part = await page.evaluate(() => window.sentToPort.splice(0));
  const played = part.length - resets.length;
  assert.ok(played > 0 && played < file.events.length);
  assert.deepEqual(part.map((m) => m.data), [...file.events.slice(0, played).map((e) => e.data), ...resets]);
  assert.ok(part.slice(played).every((m) => m.timestamp >= part[played - 1].timestamp));
});

test('the first load stays under 3 MB without the synthesizer; the rendering is a 44.1 kHz stereo WAVE from the first note; screenshots', async () => {
  const paths = firstLoad.map((f) => f.path);
  for (const file of ['/index.html', '/app.js', '/style.css', '/worker.js', '/engine.js', '/engine.wasm']) {
    assert.ok(paths.includes(file), `${file} not loaded`);
  }
  assert.ok(firstLoad.reduce((sum, f) => sum + f.bytes, 0) < 3 * 1024 * 1024);
  assert.ok(!server.served.some((f) => f.path.startsWith('/lib/')), 'the synthesizer loaded before it was needed');

  await page.click('#render');
  await enabled('download-wav');
  const wav = await downloaded('download-wav');
  assert.equal(wav.name, 'english-rendered.wav');
  assert.deepEqual([wav.bytes.readUInt16LE(22), wav.bytes.readUInt32LE(24), wav.bytes.readUInt16LE(34)], [2, 44100, 16]);
  // The English sample's 3.85 s of frames, and a release tail under a second.
  const seconds = (wav.bytes.length - 44) / 4 / 44100;
  assert.ok(seconds > 3.8 && seconds < 4.9, `${seconds} s`);
  const peak = (bytes) => {
    let most = 0;
    for (let i = 44; i < bytes.length; i += 2) most = Math.max(most, Math.abs(bytes.readInt16LE(i)));
    return most;
  };
  assert.ok(peak(wav.bytes) > 1000);
  assert.equal((await downloaded('download-png')).bytes.subarray(1, 4).toString(), 'PNG');
  // An MPE file is heard through the SoundFont's preset that its set-up selects.
  await page.selectOption('#option-build-form-device', 'mpe');
  await page.click('#build');
  await page.waitForFunction(() => document.getElementById('download-wav').disabled, null, {polling: 100});
  await page.click('#render');
  await enabled('download-wav');
  assert.ok(peak((await downloaded('download-wav')).bytes) > 1000, 'the MPE rendering is silent');

  await page.mouse.move(420, 330);
  for (const lang of ['en', 'ja']) {
    await page.click(`#lang-${lang}`);
    await page.mouse.move(421, 330);
    // Into docs/ only when asked (WEB_SCREENSHOTS=docs), so a test run leaves the tree as it was.
    const shots = process.env.WEB_SCREENSHOTS || join(root, 'build-web');
    await page.screenshot({path: join(shots, `web-${lang}.png`)});
  }
  assert.equal(await page.textContent('#analyse'), '分析');
  await page.click('#lang-en');
});

test('every option\'s label, help and values\' words follow the language, the desktop windows\' captions in Japanese; names and values stay', async () => {
  const captions = readFileSync(join(root, 'common/messages.h'), 'utf8');
  const caption = (id) => new RegExp(`${id} = "([^"]*)"`).exec(captions)[1];
  const fields = () => page.$$eval('form.options label', (labels) => labels.map((label) => {
    const input = document.getElementById(label.htmlFor);
    let help = input.nextElementSibling;
    while (!help.classList.contains('help')) help = help.nextElementSibling;
    return {id: input.id, name: input.name, label: label.textContent, help: help.textContent,
            values: [...(input.options || [])].map((o) => o.value), words: [...(input.options || [])].map((o) => o.textContent)};
  }));
  await page.click('#lang-en');
  const en = await fields();
  await page.click('#lang-ja');
  const ja = await fields();
  await page.click('#lang-en');
  assert.deepEqual(ja.map((f) => [f.id, f.name, f.values]), en.map((f) => [f.id, f.name, f.values]));
  assert.ok(en.length >= 12);
  en.forEach((f, i) => {
    assert.equal(f.id, `option-${f.id.startsWith('option-analysis-form') ? 'analysis' : 'build'}-form-${f.name}`);
    assert.ok(f.label !== f.name && ja[i].label !== f.name && ja[i].label !== f.label, f.name);
    assert.ok(f.help && ja[i].help && ja[i].help !== f.help, f.name);
  });
  const inJapanese = Object.fromEntries(ja.map((f) => [f.name, f]));
  for (const [name, id] of Object.entries({optimise: 'kOptimisation', unit: 'kSoundingUnit', 'onset-shift': 'kOnsetShift',
                                           'note-start': 'kNoteStart', 'pitch-sort': 'kPitchSort', polyphony: 'kPolyphony'})) {
    assert.equal(inJapanese[name].label, caption(id));
  }
  assert.deepEqual(inJapanese['onset-shift'].words, [caption('kYes'), caption('kNo')]);
  assert.deepEqual(inJapanese['pitch-sort'].words, [caption('kOn'), caption('kOff')]);
});
