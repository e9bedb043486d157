// What the client tests share: temporary homes, running a client and
// keeping its output for the failure message, the stand-in desktop
// application, and a plain MCP session with mivet-mcp.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

export const clientsDir = path.dirname(fileURLToPath(import.meta.url));
export const nodeBin = path.join(clientsDir, 'node_modules', '.bin');
export const mcpBinary = process.env.MIVET_MCP_BINARY;
export const appSimBinary = process.env.MIVET_APP_SIM_BINARY;

// Ends the test run as skipped (CTest's SKIP_RETURN_CODE) when a client is
// missing, except where MIVET_REQUIRE_CLIENTS=1 (scripts/test.sh, which
// installs them all) makes that a failure.
export function requireClient(file, what, installedBy) {
  if (file && fs.existsSync(file)) return;
  const reason = `${what} is not installed (${file ? `no ${file}` : 'not on PATH'}); ${installedBy} installs it`;
  if (process.env.MIVET_REQUIRE_CLIENTS === '1') {
    console.error(`FAILED: ${reason}; MIVET_REQUIRE_CLIENTS=1 requires every client`);
    process.exit(1);
  }
  console.log(`SKIPPED: ${reason}`);
  process.exit(77);
}

export function findOnPath(names) {
  for (const dir of (process.env.PATH || '').split(path.delimiter)) {
    for (const name of names) {
      const file = path.join(dir, name);
      if (dir && fs.existsSync(file)) return file;
    }
  }
  return undefined;
}

// A fresh home directory, removed when the process ends. Under /tmp where
// there is one: macOS's per-user temporary folder is too deep for the
// application's socket path to fit into a socket address.
export function makeHome(prefix) {
  const base = fs.existsSync('/tmp') ? '/tmp' : os.tmpdir();
  const home = fs.mkdtempSync(path.join(base, prefix));
  process.on('exit', () => fs.rmSync(home, { recursive: true, force: true }));
  return home;
}

export const supportDir = (home) => path.join(home, 'Library', 'Application Support', 'Mivet');
export const defaultSocket = (home) => path.join(supportDir(home), 'ipc.sock');
export const stableCommand = (home) => path.join(supportDir(home), 'bin', 'mivet-mcp');

// Only what a client needs: nothing of the machine's own configuration or
// credentials reaches it. Sanitizer settings pass, for the programs under test.
export function clientEnv(home, extra = {}) {
  const env = { HOME: home, PATH: process.env.PATH, LANG: 'C.UTF-8', TERM: 'dumb', TMPDIR: os.tmpdir() };
  for (const name of ['ASAN_OPTIONS', 'UBSAN_OPTIONS', 'LSAN_OPTIONS']) {
    if (process.env[name]) env[name] = process.env[name];
  }
  return { ...env, ...extra };
}

// Runs a program to its end; never throws. A program still running after
// `timeoutMs` is killed and reported as such.
export function run(command, args, { env, cwd, input, timeoutMs = 30000 } = {}) {
  return new Promise((resolve) => {
    const child = spawn(command, args, { env, cwd, stdio: ['pipe', 'pipe', 'pipe'] });
    const out = [];
    const err = [];
    let timedOut = false;
    const timer = setTimeout(() => { timedOut = true; child.kill('SIGKILL'); }, timeoutMs);
    child.stdout.on('data', (chunk) => out.push(chunk));
    child.stderr.on('data', (chunk) => err.push(chunk));
    child.stdin.on('error', () => {});
    child.on('error', (error) => err.push(Buffer.from(String(error))));
    child.on('close', (status, signal) => {
      clearTimeout(timer);
      resolve({
        command: [command, ...args].join(' '),
        status, signal, timedOut,
        stdout: Buffer.concat(out).toString('utf8'),
        stderr: Buffer.concat(err).toString('utf8'),
      });
    });
    child.stdin.end(input ?? '');
  });
}

// The whole story of a run, for a failure message.
export function told(result) {
  const ending = result.timedOut ? 'timed out' : `exit status ${result.status}${result.signal ? ` (${result.signal})` : ''}`;
  return `\n$ ${result.command}\n${ending}\n--- stdout ---\n${result.stdout}--- stderr ---\n${result.stderr}`;
}

export function assertSucceeded(result) {
  assert.equal(result.status, 0, `command failed:${told(result)}`);
  return result;
}

// Starts mivet-app-sim with `home` as its HOME and waits until it listens.
export async function startAppSim(home, args = []) {
  const child = spawn(appSimBinary, args, { env: clientEnv(home), stdio: ['ignore', 'ignore', 'pipe'] });
  let stderr = '';
  await new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`mivet-app-sim did not start:\n${stderr}`)), 10000);
    child.stderr.on('data', (chunk) => {
      stderr += chunk;
      if (stderr.includes('listening on')) { clearTimeout(timer); resolve(); }
    });
    child.on('exit', () => { clearTimeout(timer); reject(new Error(`mivet-app-sim ended:\n${stderr}`)); });
  });
  const exited = new Promise((resolve) => child.on('exit', resolve));
  process.on('exit', () => child.kill());
  return {
    statePath: path.join(supportDir(home), 'app-sim-tasks.json'),
    stop: async () => { child.kill('SIGTERM'); await exited; },
  };
}

// One MCP session with mivet-mcp: the handshake, then one tools/call per
// entry of `calls`; returns each call's result by the tool's position.
export async function callTools(env, args, calls) {
  const lines = [
    { jsonrpc: '2.0', id: 0, method: 'initialize', params: { protocolVersion: '2025-06-18', capabilities: {}, clientInfo: { name: 'mivet-client-test', version: '1' } } },
    { jsonrpc: '2.0', method: 'notifications/initialized' },
    ...calls.map(([name, argumentsObject], index) => ({ jsonrpc: '2.0', id: index + 1, method: 'tools/call', params: { name, arguments: argumentsObject } })),
  ];
  const result = assertSucceeded(await run(mcpBinary, args, { env, input: lines.map((line) => JSON.stringify(line) + '\n').join('') }));
  const byId = new Map(result.stdout.split('\n').filter(Boolean).map((line) => JSON.parse(line)).map((reply) => [reply.id, reply]));
  return calls.map((_, index) => {
    const reply = byId.get(index + 1);
    assert.ok(reply?.result, `no result for ${calls[index][0]}:${told(result)}`);
    return reply.result;
  });
}
