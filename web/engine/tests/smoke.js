// The engine through its worker, under node, against the command lines: the same WAVE and DAT
// bytes with the same options must give the same files, messages and English lines.
// Usage: node smoke.js SITE_DIR CLI_DIR   (CLI_DIR holds sevrane-cli and quorvel-cli)
'use strict';
const assert = require('assert');
const {execFileSync, spawnSync} = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const vm = require('vm');

const [site, cliDir] = process.argv.slice(2).map((p) => path.resolve(p));
const samples = path.join(__dirname, '../../../samples');
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'engine-smoke-'));

// worker.js in a context that has what a classic worker has: self, importScripts, fetch.
function startWorker() {
  const replies = [];
  let waiting = null;
  const context = {
    console, TextDecoder, setTimeout, clearTimeout, WebAssembly, performance,
    location: {href: 'http://localhost/worker.js'},
    fetch: async (url) => {
      const bytes = fs.readFileSync(path.join(site, new URL(url).pathname));
      return {ok: true, arrayBuffer: async () => bytes.buffer.slice(bytes.byteOffset,
                                                                    bytes.byteOffset + bytes.length)};
    },
    importScripts: (...files) => files.forEach((f) => vm.runInContext(
        fs.readFileSync(path.join(site, f), 'utf8'), context, {filename: f})),
    postMessage: (message) => {
      replies.push(message);
      if (waiting && message.type !== 'progress') waiting();
    },
  };
  context.self = context;
  vm.createContext(context);
  context.importScripts('worker.js');
  return {
    replies,
    ask(message) {
      return new Promise((resolve) => {
        waiting = () => resolve(replies[replies.length - 1]);
        context.onmessage({data: message});
      });
    },
  };
}

// Runs a command line in the scratch folder: its exit status, stdout and stderr.
function cli(program, args) {
  const run = spawnSync(path.join(cliDir, program), args, {cwd: scratch, encoding: 'utf8'});
  return {status: run.status, out: run.stdout, err: run.stderr};
}

function place(name, bytes) {
  fs.writeFileSync(path.join(scratch, name), bytes);
  return name;
}

const toBuffer = (bytes) => bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.length);

async function main() {
  const worker = startWorker();
  const english = fs.readFileSync(path.join(samples, 'english.wav'));

  const controls = await worker.ask({type: 'controls'});
  assert.strictEqual(JSON.stringify(controls.methods), '["seed","tracked"]');
  assert.ok(controls.analyser.some((o) => o.name === 'unit' && o.default === '60'));
  assert.ok(controls.targets.length >= 4);
  assert.ok(['gm', 'mpe'].every((s) => controls.targets.some((t) => t.spelling === s)));

  // Written: the DAT bytes, and the frames the reply carries are the DAT's slots.
  for (const [options, args] of [[{}, []],
    [{'unit': '30', 'onset-shift': 'on'}, ['--unit', '30', '--onset-shift']]]) {
    const reply = await worker.ask({type: 'analyse', id: 1, wave: toBuffer(english),
                                    name: 'take.wav', options});
    assert.strictEqual(cli('sevrane-cli', ['-q', ...args, place('take.wav', english)]).status, 0);
    const dat = fs.readFileSync(path.join(scratch, 'take.dat'));
    assert.strictEqual(reply.status, 'written');
    assert.ok(Buffer.from(reply.dat).equals(dat), `DAT bytes for ${JSON.stringify(options)}`);
    const view = new DataView(reply.dat);
    const last = reply.frames.count * reply.frames.voices - 1;
    assert.strictEqual(reply.frames.count * 64, dat.length);
    assert.strictEqual(reply.frames.levels[last], view.getInt32(8 * last, true));
    assert.strictEqual(reply.frames.frequencies[last], view.getInt32(8 * last + 4, true));
  }
  assert.ok(worker.replies.some((r) => r.type === 'progress' && r.fraction > 0));

  // Refused: a 22050 Hz recording and a name without "wav" give the command line's lines.
  const slow = Buffer.from(english);
  slow.writeUInt32LE(22050, 24);
  for (const [name, bytes] of [['slow.wav', slow], ['take.txt', english]]) {
    const reply = await worker.ask({type: 'analyse', id: 2, wave: toBuffer(bytes), name});
    const run = cli('sevrane-cli', ['-q', place(name, bytes)]);
    assert.strictEqual(run.status, 1);
    assert.strictEqual(reply.status, 'refused');
    // The command line may add a hint about its --convert, which the page does not have.
    assert.ok(run.err.startsWith(`${reply.message}\n${reply.english}`), run.err);
    assert.strictEqual(reply.dat, null);
  }

  // Built: the MIDI bytes for the defaults and for other options; a tempo out of range refused.
  const dat = fs.readFileSync(path.join(scratch, 'take.dat'));
  const datName = place('take.dat', dat);
  for (const [options, args] of [[{}, []],
    [{'device': 'sc-8850', 'tempo': '96.5', 'pitch-sort': 'off', 'polyphony': '4'},
      ['--device', 'sc-8850', '--tempo', '96.5', '--pitch-sort', 'off', '--polyphony', '4']]]) {
    const reply = await worker.ask({type: 'build', id: 3, dat: toBuffer(dat), name: 'take.dat',
                                    options});
    assert.strictEqual(cli('quorvel-cli', [...args, datName]).status, 0);
    assert.strictEqual(reply.status, 'written');
    assert.ok(Buffer.from(reply.midi).equals(fs.readFileSync(path.join(scratch, 'take.mid'))),
              `MIDI bytes for ${JSON.stringify(options)}`);
  }
  const refused = await worker.ask({type: 'build', id: 4, dat: toBuffer(dat), name: 'take.dat',
                                    options: {tempo: '20'}});
  const run = cli('quorvel-cli', ['--tempo', '20', datName]);
  assert.strictEqual(refused.status, 'refused');
  assert.strictEqual(`${refused.message}\n${refused.english}\n`, run.err);
  // A bend range the device does not take, and a budget below 1000 bytes a second:
  // quorvel-cli's usage errors, in its words.
  for (const options of [{'device': 'gm', 'bend-range': '48'}, {'budget': '999'}]) {
    const reply = await worker.ask({type: 'build', id: 5, dat: toBuffer(dat), name: 'take.dat',
                                    options});
    const args = Object.entries(options).flatMap(([name, value]) => [`--${name}`, value]);
    const usage = cli('quorvel-cli', [...args, datName]);
    assert.strictEqual(usage.status, 2);
    assert.strictEqual(reply.status, 'refused');
    assert.ok(usage.err.startsWith(`quorvel-cli: ${reply.message}\n`), usage.err);
  }

  // The tracking analysis: a wide file with more voices at a higher rate, and the MIDI built
  // from it, as the command lines write them; voices it does not take, and an unknown method,
  // in sevrane-cli's words.
  const tracked = await worker.ask({type: 'analyse', id: 6, wave: toBuffer(english), name: 'take.wav',
                                    options: {'method': 'tracked', 'voices': '9', 'frame-rate': '120'}});
  assert.strictEqual(cli('sevrane-cli', ['-q', '--method', 'tracked', '--voices', '9', '--frame-rate', '120',
                                         place('take.wav', english)]).status, 0);
  const wdat = fs.readFileSync(path.join(scratch, 'take.wdat'));
  assert.strictEqual(tracked.status, 'written', JSON.stringify({...tracked, frames: undefined}));
  assert.ok(Buffer.from(tracked.dat).equals(wdat), 'the tracked .wdat bytes');
  const wideMidi = await worker.ask({type: 'build', id: 7, dat: toBuffer(wdat), name: 'take.wdat',
                                     options: {'polyphony': '9', 'channels': '9'}});
  assert.strictEqual(cli('quorvel-cli', ['--polyphony', '9', '--channels', '9', 'take.wdat']).status, 0);
  assert.strictEqual(wideMidi.status, 'written', wideMidi.message);
  assert.ok(Buffer.from(wideMidi.midi).equals(fs.readFileSync(path.join(scratch, 'take.mid'))),
            'the MIDI bytes of the .wdat');
  for (const options of [{'method': 'tracked', 'voices': '16'}, {'method': 'nope'}]) {
    const reply = await worker.ask({type: 'analyse', id: 8, wave: toBuffer(english), name: 'take.wav', options});
    const args = Object.entries(options).flatMap(([name, value]) => [`--${name}`, value]);
    const usage = cli('sevrane-cli', ['-q', ...args, 'take.wav']);
    assert.strictEqual(usage.status, 2);
    assert.strictEqual(reply.status, 'refused');
    assert.ok(usage.err.startsWith(`sevrane-cli: ${reply.message}\n`), usage.err);
  }

  fs.rmSync(scratch, {recursive: true});
  console.log('engine smoke test: passed');
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
