// A real headless Chromium loads the test extension, which talks to the
// installed mivet-browser-bridge through the manifest that the install
// renders. A recorder in front of mivet-app-sim keeps every byte the bridge
// sends; the extension reports what came back; a small wrapper at the
// manifest's path notes each bridge's exit status. Finally mivet-mcp reads
// the digest back.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { test } from 'node:test';

import {
  assertSucceeded, callTools, clientEnv, clientsDir, defaultSocket, findOnPath, makeHome, requireClient,
  run, startAppSim,
} from './support.mjs';

const chromium = process.env.MIVET_CHROMIUM || findOnPath(['chromium', 'chromium-browser']);
requireClient(chromium, 'Chromium', 'scripts/setup.sh (Debian package chromium)');

const hostName = 'com.mivet.browser_bridge';
const mebibyte = 1048576;
const extensionDir = path.join(clientsDir, 'extension');
const reportMark = 'MIVET-CLIENT-TEST ';

// Chromium's extension id: the first 32 hex digits of the SHA-256 of the
// manifest key's DER bytes, with the digits 0-f written as the letters a-p.
function extensionId() {
  const key = JSON.parse(fs.readFileSync(path.join(extensionDir, 'manifest.json'), 'utf8')).key;
  const hex = crypto.createHash('sha256').update(Buffer.from(key, 'base64')).digest('hex').slice(0, 32);
  return [...hex].map((digit) => String.fromCharCode(97 + parseInt(digit, 16))).join('');
}

// Installs the bridge into `prefix` with `cmake --install`, then renders its
// manifest once more, by the install's own script, for the test extension.
async function installBridge(home, prefix) {
  const cmake = process.env.MIVET_CMAKE_COMMAND;
  assertSucceeded(await run(cmake, ['--install', process.env.MIVET_BUILD_DIR, '--prefix', prefix,
    '--component', 'mivet-browser-bridge']));
  const manifestPath = path.join(prefix, 'share', 'mivet', 'native-messaging-hosts', `${hostName}.json`);
  fs.rmSync(manifestPath);
  const manifestDir = process.env.MIVET_MANIFEST_SOURCE_DIR;
  assertSucceeded(await run(cmake, [
    `-DCMAKE_INSTALL_PREFIX=${prefix}`,
    `-DMIVET_MANIFEST_TEMPLATE=${manifestDir}/${hostName}.json.in`,
    `-DMIVET_MANIFEST_STAGING_DIR=${home}/manifest-staging`,
    `-DMIVET_NATIVE_HOST_NAME=${hostName}`,
    `-DMIVET_ALLOWED_ORIGINS="chrome-extension://${extensionId()}/"`,
    '-DMIVET_BRIDGE_BIN_DIR=bin',
    '-P', `${manifestDir}/InstallManifest.cmake`]));
  const manifest = JSON.parse(fs.readFileSync(manifestPath, 'utf8'));
  assert.equal(manifest.path, path.join(prefix, 'bin', 'mivet-browser-bridge'));
  // The browser does not say how a host ended, nor keep what it wrote, so a
  // wrapper at that path runs the installed bridge and notes both.
  fs.renameSync(manifest.path, `${manifest.path}.installed`);
  fs.writeFileSync(manifest.path, `#!/bin/sh
echo "started $$" >> "$0.log"
{ "$0.installed" "$@"; echo $? > "$0.status.$$"; } | tee "$0.out.$$"
echo "exit $$ $(cat "$0.status.$$")" >> "$0.log"
`, { mode: 0o755 });
  return { manifestPath, bridgeWrapper: manifest.path };
}

// Listens where the bridge connects and passes each connection on to
// mivet-app-sim, keeping the bytes of both directions.
async function startRecorder(listenPath, appPath) {
  const exchanges = [];
  const server = net.createServer((fromBridge) => {
    const exchange = { request: [], response: [] };
    exchanges.push(exchange);
    const toApp = net.connect(appPath);
    fromBridge.on('data', (chunk) => { exchange.request.push(chunk); toApp.write(chunk); });
    toApp.on('data', (chunk) => { exchange.response.push(chunk); fromBridge.write(chunk); });
    fromBridge.on('end', () => toApp.end());
    toApp.on('end', () => fromBridge.end());
    fromBridge.on('error', () => toApp.destroy());
    toApp.on('error', () => fromBridge.destroy());
  });
  fs.mkdirSync(path.dirname(listenPath), { recursive: true });
  await new Promise((resolve) => server.listen(listenPath, resolve));
  return {
    exchanges: () => exchanges.map((e) => ({ request: Buffer.concat(e.request), response: Buffer.concat(e.response) })),
    close: () => new Promise((resolve) => server.close(resolve)),
  };
}

// Runs Chromium with the extension until the extension's report line shows up
// in its log and every bridge it started has ended.
async function runChromium(home, bridgeWrapper) {
  const userData = path.join(home, 'chromium-profile');
  const child = spawn(chromium, [
    '--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    `--user-data-dir=${userData}`, `--load-extension=${extensionDir}`, '--enable-logging=stderr', '--v=0',
    'about:blank',
  ], { env: clientEnv(home), detached: true, stdio: ['ignore', 'ignore', 'pipe'] });
  let log = '';
  const exited = new Promise((resolve) => child.on('exit', resolve));
  const report = await new Promise((resolve) => {
    const timer = setTimeout(() => resolve(undefined), 30000);
    child.stderr.on('data', (chunk) => {
      log += chunk;
      const start = log.indexOf(reportMark);
      const end = log.indexOf('", source: chrome-extension://', start);
      if (start >= 0 && end > start) {
        clearTimeout(timer);
        resolve(JSON.parse(log.slice(start + reportMark.length, end)));
      }
    });
    exited.then(() => { clearTimeout(timer); resolve(undefined); });
  });
  const bridges = await startedBridges(bridgeWrapper);
  try { process.kill(-child.pid, 'SIGTERM'); } catch { /* already gone */ }
  const killer = setTimeout(() => { try { process.kill(-child.pid, 'SIGKILL'); } catch { /* gone */ } }, 5000);
  await exited;
  clearTimeout(killer);
  const chromiumLog = log.split('\n').filter((line) => !line.includes('dbus')).join('\n');
  return { report, bridges, told: `\n--- Chromium's log (D-Bus lines left out) ---\n${chromiumLog}` };
}

// Each bridge the browser started, in order: its exit status and the
// messages it wrote (4-byte native-order length, then the JSON text).
// Waits until all have ended, 5 s at most.
async function startedBridges(wrapper) {
  for (let waited = 0; ; waited += 100) {
    const log = fs.existsSync(`${wrapper}.log`) ? fs.readFileSync(`${wrapper}.log`, 'utf8').split('\n') : [];
    const started = log.filter((line) => line.startsWith('started ')).map((line) => line.split(' ')[1]);
    const status = new Map(log.filter((line) => line.startsWith('exit ')).map((line) => line.split(' ').slice(1)));
    if (started.every((pid) => status.has(pid)) || waited >= 5000) {
      return started.map((pid) => ({ status: status.get(pid), wrote: framesIn(`${wrapper}.out.${pid}`) }));
    }
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}

function framesIn(file) {
  const bytes = fs.existsSync(file) ? fs.readFileSync(file) : Buffer.alloc(0);
  const frames = [];
  for (let at = 0; at < bytes.length;) {
    const length = os.endianness() === 'LE' ? bytes.readUInt32LE(at) : bytes.readUInt32BE(at);
    frames.push(JSON.parse(bytes.subarray(at + 4, at + 4 + length).toString('utf8')));
    at += 4 + length;
  }
  return frames;
}

// The bridge writes compact JSON, "/" as "\/", other characters as JSON.stringify
// does, and one line feed at the end: the line must equal that form of itself.
function assertWrittenAsTheBridgeWrites(line, label) {
  assert.equal(line.indexOf(0x0a), line.length - 1, `${label}: not exactly one line`);
  const request = JSON.parse(line.toString('utf8'));
  const canonical = JSON.stringify(request).replaceAll('/', '\\/') + '\n';
  assert.equal(line.toString('utf8'), canonical, label);
  assert.ok(line.equals(Buffer.from(canonical, 'utf8')), `${label}: bytes differ from the UTF-8 of its text`);
  assert.deepEqual(Object.keys(request).sort(), ['id', 'method', 'params'], label);
  assert.match(request.id, /^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$/, label);
  return request;
}

const answerOf = (exchange) => JSON.parse(exchange.response.toString('utf8').split('\n')[0]);

test('Chromium drives mivet-browser-bridge into mivet-app-sim; mivet-mcp reads the digest back', async (t) => {
  const home = makeHome('mivet-chromium-');
  const { manifestPath, bridgeWrapper } = await installBridge(home, path.join(home, 'prefix'));
  const hostsDir = path.join(home, 'chromium-profile', 'NativeMessagingHosts');
  fs.mkdirSync(hostsDir, { recursive: true });
  fs.copyFileSync(manifestPath, path.join(hostsDir, `${hostName}.json`));

  const appSocket = path.join(home, 'app-sim.sock');
  const app = await startAppSim(home, ['--socket', appSocket]);
  t.after(app.stop);
  const recorder = await startRecorder(defaultSocket(home), appSocket);
  t.after(recorder.close);

  const { report, bridges, told } = await runChromium(home, bridgeWrapper);
  assert.ok(report && !report.failed, `no report from the extension${report ? `: ${report.failed}` : ''}${told}`);
  const exchanges = recorder.exchanges();

  await t.test('each message reached the application once, in order, written as the bridge writes', () => {
    const methods = exchanges.map((exchange) => assertWrittenAsTheBridgeWrites(exchange.request, 'request').method);
    assert.deepEqual(methods, ['browser_heartbeat', 'browser_ingest_digest', 'ping', 'ping', 'browser_ingest_digest']);
    const [heartbeat, digest] = report.conversation.sent;
    const params = exchanges.slice(0, 3).map((exchange) => JSON.parse(exchange.request.toString('utf8')).params);
    assert.deepEqual(params, [heartbeat.payload, digest.payload, {}]);
  });

  await t.test('the extension got the application\'s answers unchanged', () => {
    assert.equal(report.conversation.error, undefined, told);
    assert.deepEqual(report.conversation.replies, exchanges.slice(0, 3).map(answerOf));
    assert.deepEqual(report.oneShot, { reply: answerOf(exchanges[3]) });
  });

  await t.test('a message of exactly 1 MiB is forwarded', () => {
    assert.equal(report.largest.size, mebibyte);
    const { params } = JSON.parse(exchanges[4].request.toString('utf8'));
    assert.equal(JSON.stringify({ type: 'digest', payload: params }).length, mebibyte);
    assert.deepEqual(report.largest.replies, [answerOf(exchanges[4])]);
  });

  await t.test('each bridge wrote one reply per message and exited with status 0', () => {
    const invalid = { ok: false, error: 'invalid_json_frame' };
    const tooLarge = { ok: false, error: 'frame_size_out_of_bounds' };
    const answers = exchanges.map(answerOf);
    assert.deepEqual(bridges, [
      { status: '0', wrote: answers.slice(0, 3) }, // heartbeat, digest, ping on one connection
      { status: '0', wrote: [answers[3]] }, // sendNativeMessage
      { status: '0', wrote: [invalid] }, // [1, 2]
      { status: '0', wrote: [invalid] }, // null
      { status: '0', wrote: [invalid] }, // a string
      { status: '0', wrote: [answers[4]] }, // exactly 1 MiB
      { status: '0', wrote: [tooLarge] }, // 1 MiB and one byte
    ], told);
  });

  await t.test('a message that is not an object, or 1 MiB and one byte, reaches the extension as one error', () => {
    const invalid = { ok: false, error: 'invalid_json_frame' };
    assert.deepEqual(report.notObjects.map((c) => [c.sent, c.replies, c.hostEnded]),
      [[[1, 2], [invalid], true], [null, [invalid], true], ['just a string', [invalid], true]], told);
    assert.equal(report.tooLarge.size, mebibyte + 1);
    assert.equal(report.tooLarge.hostEnded, true, told);
    // The bridge answers without reading the body, so Chromium may fail to
    // write the rest of it and close the connection before it reads the
    // answer; then the extension sees the failure instead of the reply.
    if (report.tooLarge.replies.length === 0) {
      assert.equal(report.tooLarge.error, 'Error when communicating with the native messaging host.', told);
    } else {
      assert.deepEqual(report.tooLarge.replies, [{ ok: false, error: 'frame_size_out_of_bounds' }], told);
    }
  });

  await t.test('mivet-mcp reads the digest back with browser_check_source', async () => {
    const [gmail, canvas] = await callTools(clientEnv(home), ['--socket', appSocket],
      [['browser_check_source', { source: 'gmail' }], ['browser_check_source', { source: 'canvas' }]]);
    const gmailResult = JSON.parse(gmail.content[0].text);
    assert.deepEqual([gmail.isError, gmailResult.available, gmailResult.digest],
      [false, true, report.conversation.sent[1].payload]);
    const canvasResult = JSON.parse(canvas.content[0].text);
    assert.equal(JSON.stringify({ type: 'digest', payload: canvasResult.digest }).length, mebibyte);
  });
});
