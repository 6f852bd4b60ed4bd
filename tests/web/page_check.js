// Drives the page in headless Chromium through the DevTools protocol on a pipe: serves the
// page on 127.0.0.1 only, plays a fixed seed and key script and compares the page's world
// hash with the native one, presses keys and checks that the vehicle moved, and takes a
// screenshot. With --bench it measures a tick instead.
//   node page_check.js --page DIR --chromium EXE --script FILE --seed N --clock-start S
//        --ticks N --hash HEX [--screenshot PNG] [--bench TICKS]
'use strict';
const childProcess = require('child_process');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');

const options = {};
for (let i = 2; i < process.argv.length; i += 2) options[process.argv[i].slice(2)] = process.argv[i + 1];

const kDeadlineMs = 240000;  // the whole check, whatever happens
let browser = null;
let server = null;
let profile = null;

function cleanUp() {
  if (browser && browser.exitCode === null) {
    try { process.kill(-browser.pid, 'SIGKILL'); } catch (e) { /* already gone */ }
  }
  if (server) server.close();
  if (profile) fs.rmSync(profile, {recursive: true, force: true});
}
function fail(message) {
  console.log('FAIL ' + message);
  cleanUp();
  process.exit(1);
}
process.on('exit', cleanUp);
process.on('uncaughtException', (e) => fail(e.stack || String(e)));
setTimeout(() => fail('did not finish within ' + kDeadlineMs / 1000 + ' s'), kDeadlineMs).unref();

// The page's folder, and the key script at /check.script.
const types = {'.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
               '.wav': 'audio/wav'};
function serve() {
  return new Promise((resolve) => {
    server = http.createServer((request, response) => {
      const url = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
      const root = path.resolve(options.page);
      const file = url === '/check.script' ? options.script : path.join(root, path.normalize(url));
      if (url !== '/check.script' && !file.startsWith(root)) {
        response.writeHead(403);
        response.end();
        return;
      }
      fs.readFile(file.endsWith('/') ? file + 'index.html' : file, (error, data) => {
        if (error) {
          response.writeHead(404);
          response.end();
          return;
        }
        response.writeHead(200, {'Content-Type': types[path.extname(file)] || 'text/plain'});
        response.end(data);
      });
    });
    server.listen(0, '127.0.0.1', () => resolve(server.address().port));
  });
}

// The protocol: JSON messages ended by a NUL byte, written to the browser's fd 3, read from
// its fd 4.
let nextId = 1;
const pending = new Map();
let sessionId = null;
function startBrowser() {
  profile = fs.mkdtempSync(path.join(os.tmpdir(), 'treadbrawl-page-'));
  browser = childProcess.spawn(options.chromium, [
    '--headless=new', '--remote-debugging-pipe', '--no-sandbox', '--disable-gpu',
    '--no-first-run', '--no-proxy-server', '--no-default-browser-check', '--disable-extensions',
    '--autoplay-policy=no-user-gesture-required', '--user-data-dir=' + profile,
    '--window-size=1000,800', 'about:blank',
  ], {stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'], detached: true});
  browser.stderr.on('data', () => {});
  browser.on('exit', (code) => { if (pending.size > 0) fail('the browser ended (' + code + ')'); });
  let buffered = Buffer.alloc(0);
  browser.stdio[4].on('data', (chunk) => {
    buffered = Buffer.concat([buffered, chunk]);
    for (let end; (end = buffered.indexOf(0)) >= 0;) {
      const message = JSON.parse(buffered.subarray(0, end).toString());
      buffered = buffered.subarray(end + 1);
      if (message.method === 'Runtime.exceptionThrown')
        console.log('page: ' + JSON.stringify(message.params.exceptionDetails).slice(0, 600));
      if (message.method === 'Runtime.consoleAPICalled' && message.params.type === 'error')
        console.log('page: ' + message.params.args.map((a) => a.value).join(' '));
      const waiting = pending.get(message.id);
      if (waiting) {
        pending.delete(message.id);
        if (message.error) waiting.reject(new Error(JSON.stringify(message.error)));
        else waiting.resolve(message.result);
      }
    }
  });
}
function send(method, params = {}, toPage = true) {
  const id = nextId++;
  const message = {id, method, params};
  if (toPage && sessionId) message.sessionId = sessionId;
  return new Promise((resolve, reject) => {
    pending.set(id, {resolve, reject});
    browser.stdio[3].write(JSON.stringify(message) + '\0');
  });
}
async function evaluate(expression) {
  const result = await send('Runtime.evaluate', {expression, returnByValue: true});
  if (result.exceptionDetails) throw new Error(expression + ': ' + result.exceptionDetails.text);
  return result.result.value;
}
const call = (name, type = 'number', types = [], args = []) =>
    evaluate(`Module.ccall(${JSON.stringify(name)}, '${type}', ${JSON.stringify(types)}, ` +
             `${JSON.stringify(args)})`);
const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
async function waitFor(what, test, limitMs) {
  for (const end = Date.now() + limitMs; Date.now() < end; await pause(50))
    if (await test()) return;
  const seen = await evaluate("[location.href, document.readyState, typeof Module].join(' ')");
  fail('waited in vain for ' + what + ' (' + seen + ')');
}
async function open(url) {
  const navigated = await send('Page.navigate', {url});
  if (navigated.errorText) fail(url + ': ' + navigated.errorText);
  await waitFor('the game to start', () => evaluate(
      "typeof Module !== 'undefined' && Module.tbStarted === true"), 30000);
  const problem = await evaluate("document.getElementById('problem').textContent");
  if (problem) fail('the page says: ' + problem);
}
async function key(type, code, keyText, keyCode) {
  await send('Input.dispatchKeyEvent',
             {type, code, key: keyText, windowsVirtualKeyCode: keyCode, nativeVirtualKeyCode: keyCode});
}

async function main() {
  const port = await serve();
  const base = `http://127.0.0.1:${port}/index.html`;
  startBrowser();
  const {targetId} = await send('Target.createTarget', {url: 'about:blank'}, false);
  ({sessionId} = await send('Target.attachToTarget', {targetId, flatten: true}, false));
  await send('Page.enable');
  await send('Runtime.enable');
  await send('Emulation.setDeviceMetricsOverride',
             {width: 1000, height: 800, deviceScaleFactor: 1, mobile: false});

  if (options.bench) {
    // Unpaced ticks of a fixed world, the picture drawn each tick as everywhere.
    await open(`${base}?seed=1&ticks=${options.bench}&fast`);
    await waitFor('the ticks', async () => (await call('tb_page_stopped')) === 1, 120000);
    const ms = await call('tb_page_tick_ms');
    const ticks = await call('tb_page_ticks');
    console.log(`chromium: ${ticks} ticks, ${(1000 * ms / ticks).toFixed(1)} us a tick, hash ` +
                (await call('tb_page_hash', 'string')));
    cleanUp();
    process.exit(0);
  }

  // 1. A fixed seed and key script, paced as a player sees it: the native world.
  await open(`${base}?seed=${options.seed}&clock-start=${options['clock-start']}` +
             `&ticks=${options.ticks}&script=check.script`);
  await waitFor(options.ticks + ' ticks', async () => (await call('tb_page_stopped')) === 1,
                Number(options.ticks) * 20 * 4 + 20000);
  const hash = await call('tb_page_hash', 'string');
  const ticks = await call('tb_page_ticks');
  const tickMs = await call('tb_page_tick_ms');
  if (ticks !== Number(options.ticks)) fail(`played ${ticks} ticks, not ${options.ticks}`);
  if (hash !== options.hash) fail(`the page's world ${hash} is not the native ${options.hash}`);
  console.log(`ok   ${ticks} scripted ticks give the native world ${hash} ` +
              `(${(1000 * tickMs / ticks).toFixed(1)} us a tick)`);

  // 2. Keys pressed in the page: Green drives forward, Blue turns and then drives.
  await open(`${base}?seed=11`);
  await waitFor('the first ticks', async () => (await call('tb_page_ticks')) >= 5, 10000);
  const where = async (id) => [await call('tb_page_thing', 'number', ['string', 'number'], [id, 0]),
                               await call('tb_page_thing', 'number', ['string', 'number'], [id, 1])];
  const green = await where('ID1');
  const blue = await where('ID3');
  const holdFor = async (ticksHeld) => {
    const from = await call('tb_page_ticks');
    await waitFor('ticks while a key is held',
                  async () => (await call('tb_page_ticks')) >= from + ticksHeld, 10000);
  };
  await key('keyDown', 'KeyW', 'w', 87);
  await key('keyDown', 'ArrowLeft', 'ArrowLeft', 37);
  await holdFor(25);
  await key('keyUp', 'ArrowLeft', 'ArrowLeft', 37);
  await key('keyDown', 'ArrowUp', 'ArrowUp', 38);
  await holdFor(25);
  await key('keyDown', 'KeyE', 'e', 69);
  await holdFor(3);
  await key('keyUp', 'KeyE', 'e', 69);
  await key('keyUp', 'KeyW', 'w', 87);
  await key('keyUp', 'ArrowUp', 'ArrowUp', 38);
  const greenAfter = await where('ID1');
  const blueAfter = await where('ID3');
  const moved = (a, b) => Math.hypot(b[0] - a[0], b[1] - a[1]);
  if (!(moved(green, greenAfter) > 20)) fail(`Green did not move: ${green} to ${greenAfter}`);
  if (!(moved(blue, blueAfter) > 10)) fail(`Blue did not move: ${blue} to ${blueAfter}`);
  console.log(`ok   keys move the vehicles: Green ${green} to ${greenAfter}, ` +
              `Blue ${blue} to ${blueAfter}`);
  // Green's grenade played a gun sound: the page fetched it from Sounds beside itself.
  await waitFor('a sound fetched from Sounds/', async () => (await evaluate(
      "performance.getEntriesByType('resource').map((e) => e.name)" +
      ".filter((n) => /\\/Sounds\\/guns\\/gun[1-4]\\.wav$/.test(n)).length")) > 0, 5000);
  console.log('ok   the grenade\'s sound was fetched from Sounds/guns/');
  if (options.screenshot) {
    await holdFor(15);  // the grenade on its way
    const shot = await send('Page.captureScreenshot', {format: 'png'});
    fs.writeFileSync(options.screenshot, Buffer.from(shot.data, 'base64'));
    console.log('ok   screenshot in ' + options.screenshot);
  }
  cleanUp();
  process.exit(0);
}
main();
