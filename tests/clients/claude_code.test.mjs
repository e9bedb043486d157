// The real Claude Code command-line client reads what `mivet-mcp --install
// claude` writes, starts the server and completes the handshake ("Connected"),
// and the two programs keep each other's parts of ~/.claude.json. No login:
// `claude mcp` talks to the server only, never to a model.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import {
  assertSucceeded, clientEnv, makeHome, mcpBinary, nodeBin,
  requireClient, run, stableCommand, startAppSim, told,
} from './support.mjs';

const claude = path.join(nodeBin, 'claude');
requireClient(claude, 'The Claude Code CLI', 'tests/clients/install.sh');

// Keeps Claude Code from updating itself or phoning home during the test.
const quiet = { CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC: '1', DISABLE_AUTOUPDATER: '1' };

function claudeIn(home, extraEnv = {}) {
  const env = clientEnv(home, { ...quiet, ...extraEnv });
  return (...args) => run(claude, args, { env, cwd: home });
}

async function mivet(home, extraEnv, ...args) {
  return assertSucceeded(await run(mcpBinary, args, { env: clientEnv(home, extraEnv) }));
}

async function assertConnected(claudeRun, home) {
  const list = assertSucceeded(await claudeRun('mcp', 'list'));
  assert.ok(list.stdout.includes(`mivet: ${stableCommand(home)}  - ✔ Connected`), `not connected:${told(list)}`);
  const get = assertSucceeded(await claudeRun('mcp', 'get', 'mivet'));
  assert.match(get.stdout, /Status: ✔ Connected/, told(get));
  assert.ok(get.stdout.includes(`Command: ${stableCommand(home)}\n`), told(get));
}

const readJson = (file) => JSON.parse(fs.readFileSync(file, 'utf8'));

// The file without our entry: what belongs to Claude Code and the user.
function othersOf(config) {
  const copy = structuredClone(config);
  delete copy.mcpServers?.mivet;
  return copy;
}

test('Claude Code connects to the registered mivet-mcp, and each side keeps the other\'s entries', async (t) => {
  const home = makeHome('mivet-claude-');
  const app = await startAppSim(home);
  t.after(app.stop);
  const claudeRun = claudeIn(home);
  const configPath = path.join(home, '.claude.json');

  await t.test('claude mcp list and get report mivet connected', async () => {
    await mivet(home, {}, '--install', 'claude');
    await assertConnected(claudeRun, home);
  });

  const ours = readJson(configPath).mcpServers.mivet;
  await t.test('Claude Code rewriting ~/.claude.json keeps our entry', async () => {
    const before = fs.readFileSync(configPath, 'utf8');
    assertSucceeded(await claudeRun('mcp', 'add', 'notes', '-s', 'user', '-e', 'NOTES_DIR=/srv/notes', '--', 'notes-server', '--stdio'));
    const after = readJson(configPath);
    assert.notEqual(JSON.stringify(after), JSON.stringify(JSON.parse(before)), 'Claude Code did not rewrite the file');
    assert.deepEqual(after.mcpServers.mivet, ours);
    await assertConnected(claudeRun, home);
  });

  await t.test('our --install and --uninstall keep what Claude Code added', async () => {
    const claudes = readJson(configPath);
    await mivet(home, {}, '--install', 'claude');
    assert.deepEqual(othersOf(readJson(configPath)), othersOf(claudes));
    assert.deepEqual(readJson(configPath).mcpServers.mivet, ours);
    await mivet(home, {}, '--uninstall', 'claude');
    assert.deepEqual(readJson(configPath), othersOf(claudes));
    const get = await claudeRun('mcp', 'get', 'mivet');
    assert.notEqual(get.status, 0, `Claude Code still knows mivet after --uninstall:${told(get)}`);
    const notes = assertSucceeded(await claudeRun('mcp', 'get', 'notes'));
    assert.match(notes.stdout, /NOTES_DIR=\/srv\/notes/, told(notes));
  });

  await t.test('servers Claude Code adds while --install and --uninstall run in a loop all stay', async () => {
    const raceHome = makeHome('mivet-claude-race-');
    const raceRun = claudeIn(raceHome);
    let adding = true;
    let runs = 0;
    const loop = (async () => {
      for (; adding; runs += 1) {
        await mivet(raceHome, {}, runs % 2 === 0 ? '--install' : '--uninstall', 'claude');
      }
    })();
    const added = [];
    for (let i = 0; i < 8; i += 1) {
      added.push(`srv${i}`);
      assertSucceeded(await raceRun('mcp', 'add', '-s', 'user', `srv${i}`, '--', '/bin/true'));
    }
    adding = false;
    await loop;
    assert.ok(runs > added.length, `only ${runs} runs of mivet-mcp beside ${added.length} additions`);
    await mivet(raceHome, {}, '--install', 'claude');
    const servers = readJson(path.join(raceHome, '.claude.json')).mcpServers;
    assert.deepEqual(Object.keys(servers).filter((name) => name !== 'mivet').sort(), added);
    assert.equal(servers.mivet.command, stableCommand(raceHome));
    assert.ok(!fs.existsSync(path.join(raceHome, '.claude.json.lock')), 'the lock was left behind');
  });

  await t.test('CLAUDE_CONFIG_DIR: Claude Code sees the server registered there', async () => {
    const configDir = path.join(home, 'claude-config');
    fs.mkdirSync(configDir);
    const variable = { CLAUDE_CONFIG_DIR: configDir };
    const before = fs.readFileSync(configPath, 'utf8');
    await mivet(home, variable, '--install', 'claude');
    assert.equal(fs.readFileSync(configPath, 'utf8'), before, '~/.claude.json changed although CLAUDE_CONFIG_DIR is set');
    await assertConnected(claudeIn(home, variable), home);
    const status = JSON.parse((await mivet(home, variable, '--status')).stdout);
    assert.deepEqual(status.claude, { connected: true, path: path.join(configDir, '.claude.json') });
    await mivet(home, variable, '--uninstall', 'claude');
    const get = await claudeIn(home, variable)('mcp', 'get', 'mivet');
    assert.notEqual(get.status, 0, `Claude Code still knows mivet after --uninstall:${told(get)}`);
  });
});
