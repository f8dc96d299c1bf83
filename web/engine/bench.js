// The analysis of one recording in headless chromium (the engine in its worker) against
// sevrane-cli on one thread, one pass, optimised and tracked, on this machine in this run (the
// best of three runs each).
// Usage: node bench.js SITE_DIR WAVE SEVRANE_CLI
'use strict';
const crypto = require('crypto');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const {spawnSync} = require('child_process');
const {chromium} = require(path.join(__dirname, '../node_modules/playwright-core'));

const [site, wave, sevrane] = process.argv.slice(2).map((p) => path.resolve(p));

// The site's files, the recording at /input.wav and an empty page to run the worker from.
function serve() {
  const types = {'.js': 'text/javascript', '.wasm': 'application/wasm', '.html': 'text/html'};
  const server = http.createServer((request, response) => {
    const name = new URL(request.url, 'http://localhost').pathname;
    if (name === '/bench.html') return response.end('<!doctype html><title>bench</title>');
    const file = name === '/input.wav' ? wave : path.join(site, path.normalize(name));
    fs.readFile(file, (error, bytes) => {
      if (error) {
        response.statusCode = 404;
        return response.end();
      }
      response.setHeader('Content-Type', types[path.extname(file)] || 'application/octet-stream');
      response.end(bytes);
    });
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// Seconds of sevrane-cli --threads 1 on a copy of the recording, and its DAT's SHA-256.
function native(args) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'bench-web-'));
  fs.copyFileSync(wave, path.join(folder, 'input.wav'));
  const start = process.hrtime.bigint();
  const run = spawnSync(sevrane, ['-q', '--threads', '1', ...args, 'input.wav'], {cwd: folder});
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  if (run.status !== 0) throw new Error(`sevrane-cli failed: ${run.stderr}`);
  const hash = crypto.createHash('sha256')
      .update(fs.readFileSync(path.join(folder, 'input.dat'))).digest('hex');
  fs.rmSync(folder, {recursive: true});
  return {seconds, hash};
}

async function main() {
  const server = await serve();
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'bench-web-profile-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--no-first-run'],
  });
  const page = await context.newPage();
  await page.goto(`http://127.0.0.1:${server.address().port}/bench.html`);
  const rows = [];
  // The best of three runs of each: other work on the machine only ever adds time.
  const best = (runs) => runs.reduce((a, b) => (b.seconds < a.seconds ? b : a));
  const inBrowser = (options) => page.evaluate(async (options) => {
    const wave = await (await fetch('/input.wav')).arrayBuffer();
    const worker = new Worker('worker.js');
    const answer = (message) => new Promise((resolve) => {
      worker.onmessage = (e) => e.data.type !== 'progress' && resolve(e.data);
      worker.postMessage(message);
    });
    const loadStart = performance.now();
    await answer({type: 'controls'});
    const start = performance.now();
    const reply = await answer({type: 'analyse', id: 1, wave, name: 'input.wav', options});
    const seconds = (performance.now() - start) / 1000;
    worker.terminate();
    const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', reply.dat));
    const hash = Array.from(digest, (b) => b.toString(16).padStart(2, '0')).join('');
    return {seconds, loadSeconds: (start - loadStart) / 1000, status: reply.status, hash};
  }, options);
  for (const [label, options, args] of [['one pass', {}, []],
    ['optimised (4 passes)', {optimise: 'on'}, ['--optimise']],
    // The tracking analysis: FFTW natively, Eigen's FFT in the page.
    ['tracked, 6 voices at 60/s', {method: 'tracked'}, ['--method', 'tracked']]]) {
    const browserRuns = [];
    const cliRuns = [];
    for (let run = 0; run < 3; ++run) {
      browserRuns.push(await inBrowser(options));
      cliRuns.push(native(args));
    }
    rows.push({label, browser: best(browserRuns), cli: best(cliRuns)});
  }
  await context.close();
  server.close();
  fs.rmSync(profile, {recursive: true});

  console.log(`recording: ${path.basename(wave)}`);
  console.log('| analysis | sevrane-cli, 1 thread | browser (wasm, worker) | ratio | same DAT |');
  console.log('|---|---:|---:|---:|---|');
  for (const {label, browser, cli} of rows) {
    const same = browser.status === 'written' && browser.hash === cli.hash ? 'yes' : 'NO';
    console.log(`| ${label} | ${cli.seconds.toFixed(2)} s | ${browser.seconds.toFixed(2)} s | ` +
                `${(browser.seconds / cli.seconds).toFixed(2)}x | ${same} |`);
  }
  console.log(`engine load in the worker: ${rows[0].browser.loadSeconds.toFixed(2)} s`);
  if (rows.some((r) => r.browser.hash !== r.cli.hash)) process.exitCode = 1;
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
