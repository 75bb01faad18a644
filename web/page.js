// The page around the instrument: sizes the canvas to the device's pixels,
// starts the sound on the first gesture, keeps the settings and a picked Scala
// scale in the browser's storage, and offers window.zindle to tests:
//   index.html?headless&script=URL&seed=N[&seconds=S][&scale=N] plays a script
//   offline and leaves window.zindle.result = {wav, png, shots} (base64), title "done";
//   window.zindle.status() tells the sound, the fingers, the voices and the message shown.
'use strict';

(function () {
  const params = new URLSearchParams(location.search);
  const headless = params.has('headless');
  const canvas = document.getElementById('canvas');
  const storageKey = 'zindle.settings';
  const scaleKey = 'zindle.scale';
  let audio = null;     // the AudioContext, once made
  let audioPointer = null; // the program's buffer the samples are pulled into
  let recording = null;    // what zindle.record() is collecting
  let started = false;  // the live instrument runs
  const zindle = { result: null, error: null };
  window.zindle = zindle;

  // The canvas's backing store at the device's pixel ratio: sharp on any screen.
  function fitCanvas() {
    const ratio = window.devicePixelRatio || 1;
    const width = Math.max(1, Math.round(canvas.clientWidth * ratio));
    const height = Math.max(1, Math.round(canvas.clientHeight * ratio));
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
  }

  function base64(bytes) {
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000)
      text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return btoa(text);
  }

  // An RGB PNG of 8-bit RGBA pixels (alpha dropped, as the desktop writes its
  // screenshots), compressed by the browser's own deflate.
  async function encodePng(rgba, width, height) {
    const raw = new Uint8Array((width * 3 + 1) * height);
    for (let y = 0, at = 0; y < height; ++y) {
      raw[at++] = 0; // no filter
      for (let x = 0; x < width; ++x, at += 3)
        raw.set(rgba.subarray((y * width + x) * 4, (y * width + x) * 4 + 3), at);
    }
    const stream = new Blob([raw]).stream().pipeThrough(new CompressionStream('deflate'));
    const idat = new Uint8Array(await new Response(stream).arrayBuffer());
    const crcTable = new Uint32Array(256).map((_, n) => {
      let c = n;
      for (let k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320 ^ (c >>> 1) : c >>> 1;
      return c >>> 0;
    });
    const chunks = [];
    function chunk(type, body) {
      const out = new Uint8Array(12 + body.length);
      const view = new DataView(out.buffer);
      view.setUint32(0, body.length);
      for (let i = 0; i < 4; ++i) out[4 + i] = type.charCodeAt(i);
      out.set(body, 8);
      let crc = 0xFFFFFFFF;
      for (let i = 4; i < 8 + body.length; ++i) crc = crcTable[(crc ^ out[i]) & 0xFF] ^ (crc >>> 8);
      view.setUint32(8 + body.length, (crc ^ 0xFFFFFFFF) >>> 0);
      chunks.push(out);
    }
    const header = new Uint8Array(13);
    const hv = new DataView(header.buffer);
    hv.setUint32(0, width);
    hv.setUint32(4, height);
    header.set([8, 2, 0, 0, 0], 8); // 8-bit RGB, not interlaced
    chunks.push(new Uint8Array([0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A]));
    chunk('IHDR', header);
    chunk('IDAT', idat);
    chunk('IEND', new Uint8Array(0));
    return new Uint8Array(await new Blob(chunks).arrayBuffer());
  }

  async function runHeadless(Module) {
    fitCanvas();
    const started = performance.now();
    const seed = parseInt(params.get('seed') || '0', 10) >>> 0;
    const seconds = params.has('seconds') ? parseFloat(params.get('seconds')) : -1;
    const scale = params.has('scale') ? parseFloat(params.get('scale')) : 1;
    const status = Module.ccall('zindle_run_headless', 'number',
                                ['string', 'number', 'number', 'number'],
                                [params.get('script') ? '/script.zs' : '', seed, seconds, scale]);
    const rendered = performance.now();
    if (status !== 0) {
      zindle.error = Module.ccall('zindle_error', 'string', [], []) || 'exit status ' + status;
      document.title = 'failed';
      return;
    }
    const wavAt = Module.ccall('zindle_wav', 'number', [], []);
    const wavSize = Module.ccall('zindle_wav_size', 'number', [], []);
    const wav = Module.HEAPU8.slice(wavAt, wavAt + wavSize);
    const frameAt = Module.ccall('zindle_frame_rgba', 'number', [], []);
    const width = Module._zindle_frame_width(), height = Module._zindle_frame_height();
    const png = frameAt ? await encodePng(Module.HEAPU8.slice(frameAt, frameAt + width * height * 4),
                                          width, height) : null;
    // A script's shots, by the name the script gave each.
    const shots = {};
    for (let i = 0, n = Module._zindle_shot_count(); i < n; ++i) {
      const w = Module._zindle_shot_width(i), h = Module._zindle_shot_height(i);
      const at = Module._zindle_shot_rgba(i);
      shots[Module.UTF8ToString(Module._zindle_shot_name(i))] =
        base64(await encodePng(Module.HEAPU8.slice(at, at + w * h * 4), w, h));
    }
    zindle.result = { wav: base64(wav), png: png ? base64(png) : null, shots,
                      renderMilliseconds: rendered - started };
    document.title = 'done';
  }

  // Sound through an AudioWorklet on the audio thread, fed through a ring from
  // the page's thread (feed.js): the instrument's own 16-bit samples, moved as
  // they are. ?buffer=N sets the ring's target in frames (128 to 16384; default
  // 512, 11.6 ms). Where worklets are missing (not a secure context), a ScriptProcessor
  // of that size on the page's thread.
  function pull(Module, count) {
    if (!audioPointer || audioPointer.count < count) {
      if (audioPointer) Module._free(audioPointer.at);
      audioPointer = { at: Module._malloc(count * 2), count };
    }
    Module._zindle_audio_pull(audioPointer.at, count);
    const samples = new Int16Array(Module.HEAPU8.buffer, audioPointer.at, count);
    const out = new Float32Array(count);
    for (let i = 0; i < count; ++i) out[i] = samples[i] / 32768;
    if (recording) {
      recording.blocks.push(Int16Array.from(samples));
      recording.left -= count;
      if (recording.left <= 0) { const done = recording; recording = null; done.finish(); }
    }
    return out;
  }

  // The next `count` samples the instrument hands to the sound path, for tests
  // that measure what it plays: a promise of an array of 16-bit values.
  zindle.record = (count) => new Promise((resolve) => {
    const blocks = [];
    recording = { blocks, left: count, finish: () => {
      const all = [];
      for (const block of blocks) for (const v of block) all.push(v);
      resolve(all.slice(0, count));
    } };
  });

  function startAudio(Module) {
    if (audio) {
      if (audio.state !== 'running') audio.resume();
      return;
    }
    const size = Math.min(16384, Math.max(128, parseInt(params.get('buffer') || '512', 10)));
    audio = new AudioContext({ sampleRate: 44100, latencyHint: 'interactive' });
    zindle.buffer = size;
    zindle.underruns = 0;
    const update = () => { document.getElementById('tap').style.display =
                           audio.state === 'running' ? 'none' : 'flex'; };
    audio.onstatechange = update;
    const context = audio;
    if (audio.audioWorklet) {
      zindle.path = 'AudioWorklet';
      audio.audioWorklet.addModule('feed.js').then(() => {
        const node = new AudioWorkletNode(context, 'zindle-feed', {
          numberOfInputs: 0, outputChannelCount: [1], processorOptions: { target: size } });
        node.port.onmessage = (event) => {
          zindle.underruns = event.data.underruns;
          const block = pull(Module, event.data.want);
          node.port.postMessage(block, [block.buffer]);
        };
        node.connect(context.destination);
      });
    } else {
      zindle.path = 'ScriptProcessor';
      const node = audio.createScriptProcessor(Math.pow(2, Math.round(Math.log2(Math.max(256, size)))), 0, 1);
      zindle.buffer = node.bufferSize;
      node.onaudioprocess = (event) => event.outputBuffer.getChannelData(0).set(pull(Module, event.outputBuffer.length));
      node.connect(audio.destination);
    }
    audio.resume().then(update, update);
  }

  function saveSettings(Module) {
    if (!started) return;
    try {
      localStorage.setItem(storageKey, Module.ccall('zindle_settings', 'string', [], []));
    } catch (e) { /* storage full or refused: the settings stay for this visit */ }
  }

  // A Scala scale (.scl) and, optionally, its mapping (.kbm), as text.
  function loadScale(Module, scale, mapping) {
    Module.FS.writeFile('/scale.scl', scale);
    if (mapping) Module.FS.writeFile('/mapping.kbm', mapping);
    const error = Module.ccall('zindle_load_tuning', 'string', ['string', 'string'],
                               ['/scale.scl', mapping ? '/mapping.kbm' : '']);
    if (!error)
      localStorage.setItem(scaleKey, JSON.stringify({ scale, mapping: mapping || '' }));
    return error;
  }

  function startLive(Module) {
    fitCanvas();
    window.addEventListener('resize', fitCanvas);
    let settings = '';
    let scale = null;
    try {
      settings = localStorage.getItem(storageKey) || '';
      scale = JSON.parse(localStorage.getItem(scaleKey) || 'null');
    } catch (e) { /* no storage: start afresh */ }
    let tuning = '', keymap = '';
    if (scale && scale.scale) {
      Module.FS.writeFile('/scale.scl', scale.scale);
      tuning = '/scale.scl';
      if (scale.mapping) { Module.FS.writeFile('/mapping.kbm', scale.mapping); keymap = '/mapping.kbm'; }
    }
    if (Module.ccall('zindle_start_live', 'number', ['string', 'string', 'string'],
                     [settings, tuning, keymap]) !== 0) {
      zindle.error = Module.ccall('zindle_error', 'string', [], []);
      document.getElementById('tap').textContent = zindle.error;
      document.getElementById('tap').style.display = 'flex';
      return;
    }
    started = true;
    document.getElementById('tap').style.display = 'flex';
    // The context is made at once: browsers keep it suspended until the first
    // touch or click resumes it (one that allows sound without a gesture plays at once).
    startAudio(Module);
    Module.zindleFirstGesture = () => startAudio(Module);
    Module.zindleSaveSettings = () => saveSettings(Module);
    const frame = () => { Module._zindle_frame(); requestAnimationFrame(frame); };
    requestAnimationFrame(frame);
    // Settings are kept whenever the page is left, and every few seconds.
    setInterval(() => saveSettings(Module), 5000);
    document.addEventListener('visibilitychange', () => saveSettings(Module));
    window.addEventListener('pagehide', () => saveSettings(Module));

    const picker = document.getElementById('scale-file');
    document.getElementById('scale').addEventListener('click', () => picker.click());
    picker.addEventListener('change', async () => {
      let scaleText = null, mapping = null;
      for (const file of picker.files) {
        if (file.name.toLowerCase().endsWith('.kbm')) mapping = await file.text();
        else scaleText = await file.text();
      }
      if (scaleText) {
        const error = loadScale(Module, scaleText, mapping);
        if (error) alert(error);
      }
    });
    zindle.loadScale = (scaleText, mappingText) => loadScale(Module, scaleText, mappingText);
  }

  zindle.status = function () {
    const Module = window.Module;
    const inner = started || headless ? JSON.parse(Module.ccall('zindle_status', 'string', [], []))
                                      : { fingers: [], voices: [] };
    return {
      audio: audio && audio.state === 'running' ? 'running' : 'suspended',
      sampleRate: audio ? audio.sampleRate : 44100,
      baseLatency: audio ? audio.baseLatency : null,
      outputLatency: audio ? audio.outputLatency : null,
      buffer: zindle.buffer || null,
      path: zindle.path || null,
      underruns: zindle.underruns || 0,
      fingers: inner.fingers,
      voices: inner.voices,
      panel: inner.panel,
      notice: inner.notice === undefined ? null : inner.notice,
    };
  };

  window.Module = {
    canvas,
    // A script's save: the settings go where the next visit finds them.
    zindleStoreSettings: (text) => {
      try { localStorage.setItem(storageKey, text); } catch (e) { /* storage refused */ }
    },
    print: (text) => console.log(text),
    printErr: (text) => console.warn(text),
    preRun: [function () {
      const script = params.get('script');
      if (!headless || !script) return;
      // The script is fetched before the program runs and read as a file.
      Module.addRunDependency('script');
      fetch(script).then((r) => { if (!r.ok) throw new Error(script + ': ' + r.status); return r.text(); })
        .then((text) => { Module.FS.writeFile('/script.zs', text); Module.removeRunDependency('script'); })
        .catch((e) => { zindle.error = String(e); document.title = 'failed'; });
    }],
    // After main(), so that the program has set itself up before the page calls in.
    postRun: [function () {
      if (headless) runHeadless(Module).catch((e) => { zindle.error = String(e) + ' ' + e.stack; document.title = 'failed'; });
      else startLive(Module);
    }],
  };
  const Module = window.Module;

  if (!headless && 'serviceWorker' in navigator && location.protocol !== 'file:')
    navigator.serviceWorker.register('sw.js').catch(() => { /* plays without offline support */ });
})();
