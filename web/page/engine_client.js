// Talks to the analysis engine in its Web Worker. Cancelling an analysis ends the worker and
// starts a fresh one: the engine runs to completion once started, and a page served from any
// static host has no shared memory to signal it with.

export class EngineClient {
  constructor(url = 'worker.js') {
    this.url = url;
    this.nextId = 1;
    this.pending = new Map();  // id -> {resolve, reject, onProgress}
    this.controls = null;
    this.start();
  }

  start() {
    this.worker = new Worker(this.url);
    this.worker.onmessage = (event) => this.receive(event.data);
    this.worker.onerror = (event) => {
      const error = new Error(event.message || 'the engine could not start');
      for (const job of this.pending.values()) job.reject(error);
      this.pending.clear();
    };
  }

  receive(data) {
    if (data.type === 'controls') {
      const job = this.pending.get('controls');
      this.pending.delete('controls');
      if (job) job.resolve(data);
      return;
    }
    const job = this.pending.get(data.id);
    if (!job) return;
    if (data.type === 'progress') {
      if (job.onProgress) job.onProgress(data.fraction, data.secondsLeft);
      return;
    }
    this.pending.delete(data.id);
    job.resolve(data);
  }

  request(message, transfer = [], onProgress = null) {
    const id = this.nextId++;
    return new Promise((resolve, reject) => {
      this.pending.set(id, {resolve, reject, onProgress});
      this.worker.postMessage({...message, id}, transfer);
    });
  }

  // The engine's option descriptions, asked once.
  loadControls() {
    if (!this.controls) {
      this.controls = new Promise((resolve, reject) => {
        this.pending.set('controls', {resolve, reject});
        this.worker.postMessage({type: 'controls'});
      });
    }
    return this.controls;
  }

  // The WAVE bytes are copied, so the caller keeps its own.
  analyse(wave, name, options, onProgress) {
    const copy = wave.slice(0);
    return this.request({type: 'analyse', wave: copy, name, options}, [copy], onProgress);
  }

  build(dat, name, options) {
    const copy = dat.slice(0);
    return this.request({type: 'build', dat: copy, name, options}, [copy]);
  }

  // Ends every job in flight; each one's promise resolves as cancelled.
  cancel() {
    this.worker.terminate();
    for (const job of this.pending.values()) job.resolve({type: 'cancelled', status: 'cancelled'});
    this.pending.clear();
    this.controls = null;
    this.start();
  }
}
