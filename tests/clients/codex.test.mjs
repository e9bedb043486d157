// The real Codex command-line client reads what `mivet-mcp --install codex`
// writes, keeps working with it when it edits the file itself, and starts
// the server: `codex app-server` lists its tools and calls one, which
// reaches mivet-app-sim. No login: nothing here talks to a model.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import readline from 'node:readline';
import { test } from 'node:test';

import {
  assertSucceeded, clientEnv, makeHome, mcpBinary, nodeBin,
  requireClient, run, stableCommand, startAppSim, told,
} from './support.mjs';

const codex = path.join(nodeBin, 'codex');
requireClient(codex, 'The Codex CLI', 'tests/clients/install.sh');

const toolNames = ['tasks_add', 'tasks_list', 'tasks_complete', 'tasks_update_title', 'tasks_reschedule',
  'tasks_reorder', 'tasks_remove', 'schedule_today', 'browser_status', 'browser_check_source'];

// A configuration as people keep it: comments, a profile, another server
// with an env sub-table, and an array of tables.
const handWritten = `# Codex settings of this machine
model = "gpt-5"   # the default model
approval_policy = "on-request"

[profiles.fast]
model = "gpt-5-mini"
model_reasoning_effort = "low"

# A server added by hand
[mcp_servers.docs]
command = "docs-server"
args = ["--stdio", "--root=/srv/docs"]

[mcp_servers.docs.env]
DOCS_TOKEN = "abc"   # keep this one

[[skills.config]]
path = "/opt/skills/one/SKILL.md"
enabled = true

[[skills.config]]
path = "/opt/skills/two/SKILL.md"
enabled = false
`;

// Spellings of the server's table that Codex reads. After our --uninstall,
// Codex must no longer know the server and the file must hold what it held
// without it (`left`), or the command must have failed (no `left`) and left
// the file byte for byte as it was.
const server = (header, command) => `${header}\ncommand = "${command}"\nargs = []\n`;
const tablesOnly = handWritten.slice(handWritten.indexOf('[profiles.fast]'));
const spellings = [
  {
    name: 'CRLF line ends',
    text: (c) => `${handWritten}\n${server('[mcp_servers.mivet]', c)}`.replaceAll('\n', '\r\n'),
    left: handWritten.replaceAll('\n', '\r\n'),
  },
  { name: 'a comment after the header', text: (c) => `${handWritten}\n${server('[mcp_servers.mivet] # ours', c)}`, left: handWritten },
  { name: 'blanks inside the brackets', text: (c) => `${handWritten}\n${server('[ mcp_servers . mivet ]', c)}`, left: handWritten },
  { name: 'a quoted key', text: (c) => `${handWritten}\n${server('[mcp_servers."mivet"]', c)}`, left: handWritten },
  { name: 'a byte-order mark', text: (c) => `\uFEFF${server('[mcp_servers.mivet]', c)}\n${tablesOnly}`, left: `\uFEFF${tablesOnly}` },
  { name: 'dotted keys at the top', text: (c) => `mcp_servers.mivet.command = "${c}"\n${handWritten}` },
  { name: 'dotted keys under [mcp_servers]', text: (c) => `${handWritten}\n[mcp_servers]\nmivet.command = "${c}"\n` },
  { name: 'an inline table', text: (c) => `${handWritten}\n[mcp_servers]\nmivet = { command = "${c}", args = [] }\n` },
  { name: 'an inline mcp_servers', text: (c) => `mcp_servers = { mivet = { command = "${c}" } }\n[profiles.fast]\nmodel = "o3"\n` },
];

function codexIn(home, extraEnv = {}) {
  const env = clientEnv(home, extraEnv);
  return (...args) => run(codex, args, { env, cwd: home });
}

async function mivet(home, extraEnv, ...args) {
  return assertSucceeded(await run(mcpBinary, args, { env: clientEnv(home, extraEnv) }));
}

// What `codex mcp get NAME --json` reports, or undefined when Codex knows no such server.
async function serverEntry(codexRun, name) {
  const result = await codexRun('mcp', 'get', name, '--json');
  return result.status === 0 ? { ...JSON.parse(result.stdout), told: told(result) } : undefined;
}

async function assertCodexRunsOurs(codexRun, home) {
  const list = assertSucceeded(await codexRun('mcp', 'list'));
  assert.match(list.stdout, new RegExp(`^mivet +${escapeRegExp(stableCommand(home))} `, 'm'), told(list));
  const entry = await serverEntry(codexRun, 'mivet');
  assert.ok(entry, 'codex mcp get mivet failed');
  assert.equal(entry.enabled, true, entry.told);
  assert.deepEqual({ type: entry.transport.type, command: entry.transport.command, args: entry.transport.args },
    { type: 'stdio', command: stableCommand(home), args: [] }, entry.told);
}

function escapeRegExp(text) {
  return text.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
}

test('Codex reads, edits and starts the registered mivet-mcp', async (t) => {
  await t.test('a fresh home: codex mcp list and get show the stable command', async () => {
    const home = makeHome('mivet-codex-');
    await mivet(home, {}, '--install', 'codex');
    await assertCodexRunsOurs(codexIn(home), home);
  });

  await t.test('a hand-written configuration keeps every other line, and uninstall restores it', async () => {
    const home = makeHome('mivet-codex-');
    const config = path.join(home, '.codex', 'config.toml');
    fs.mkdirSync(path.dirname(config));
    fs.writeFileSync(config, handWritten);
    await mivet(home, {}, '--install', 'codex');
    const written = fs.readFileSync(config, 'utf8');
    assert.ok(written.startsWith(handWritten), `the other lines changed:\n${written}`);
    for (const line of written.slice(handWritten.length).split('\n')) {
      assert.match(line, /^(|\[mcp_servers\.mivet\]|command = ".*"|args = \[\])$/, `not a line of ours:\n${written}`);
    }
    const codexRun = codexIn(home);
    await assertCodexRunsOurs(codexRun, home);
    const docs = await serverEntry(codexRun, 'docs');
    assert.deepEqual(docs?.transport.env, { DOCS_TOKEN: 'abc' }, docs?.told);
    await mivet(home, {}, '--uninstall', 'codex');
    assert.equal(fs.readFileSync(config, 'utf8'), handWritten);
  });

  await t.test('codex mcp add and remove leave ours working; our uninstall edits the file Codex wrote', async () => {
    const home = makeHome('mivet-codex-');
    await mivet(home, {}, '--install', 'codex');
    const codexRun = codexIn(home);
    assertSucceeded(await codexRun('mcp', 'add', 'notes', '--env', 'NOTES_DIR=/srv/notes', '--', 'notes-server', '--stdio'));
    await assertCodexRunsOurs(codexRun, home);
    assertSucceeded(await codexRun('mcp', 'add', 'scratch', '--', 'scratch-server'));
    assertSucceeded(await codexRun('mcp', 'remove', 'scratch'));
    await assertCodexRunsOurs(codexRun, home);
    const status = JSON.parse((await mivet(home, {}, '--status')).stdout);
    assert.equal(status.codex.connected, true, 'mivet-mcp --status no longer finds ours in the file Codex wrote');

    await mivet(home, {}, '--uninstall', 'codex');
    assert.equal(await serverEntry(codexRun, 'mivet'), undefined, 'Codex still knows mivet after --uninstall');
    const notes = await serverEntry(codexRun, 'notes');
    assert.deepEqual(notes?.transport.env, { NOTES_DIR: '/srv/notes' }, notes?.told);
  });

  await t.test('every spelling Codex reads is taken out by --uninstall, or the uninstall fails and changes nothing', async () => {
    const home = makeHome('mivet-codex-');
    const config = path.join(home, '.codex', 'config.toml');
    fs.mkdirSync(path.dirname(config));
    const codexRun = codexIn(home);
    for (const spelling of spellings) {
      const before = spelling.text(stableCommand(home));
      fs.writeFileSync(config, before);
      assert.ok(await serverEntry(codexRun, 'mivet'), `Codex does not read the server written with ${spelling.name}`);
      const uninstall = await run(mcpBinary, ['--uninstall', 'codex'], { env: clientEnv(home) });
      if (spelling.left !== undefined) {
        assertSucceeded(uninstall);
        assert.equal(await serverEntry(codexRun, 'mivet'), undefined, `${spelling.name}: Codex still knows mivet${told(uninstall)}`);
        assert.equal(fs.readFileSync(config, 'utf8'), spelling.left, spelling.name);
      } else {
        assert.equal(uninstall.status, 1, `${spelling.name}: the uninstall did not fail${told(uninstall)}`);
        assert.match(uninstall.stderr, new RegExp(`^Uninstall failed: ${escapeRegExp(config)} was left unchanged`), told(uninstall));
        assert.equal(fs.readFileSync(config, 'latin1'), Buffer.from(before).toString('latin1'), spelling.name);
      }
    }
  });

  await t.test('CODEX_HOME: Codex sees the server registered there', async () => {
    const home = makeHome('mivet-codex-');
    const codexHome = path.join(home, 'codex-home');
    fs.mkdirSync(codexHome);
    await mivet(home, { CODEX_HOME: codexHome }, '--install', 'codex');
    assert.ok(fs.existsSync(path.join(codexHome, 'config.toml')), 'nothing written to $CODEX_HOME/config.toml');
    assert.ok(!fs.existsSync(path.join(home, '.codex')), '~/.codex was written although CODEX_HOME is set');
    const codexRun = codexIn(home, { CODEX_HOME: codexHome });
    await assertCodexRunsOurs(codexRun, home);
    const status = JSON.parse((await mivet(home, { CODEX_HOME: codexHome }, '--status')).stdout);
    assert.deepEqual(status.codex, { connected: true, path: path.join(codexHome, 'config.toml') });
    await mivet(home, { CODEX_HOME: codexHome }, '--uninstall', 'codex');
    assert.equal(await serverEntry(codexRun, 'mivet'), undefined, 'Codex still knows mivet after --uninstall');
  });

  await t.test('codex app-server starts mivet-mcp, sees ten tools, and its tasks_add reaches mivet-app-sim', async (st) => {
    const home = makeHome('mivet-codex-');
    await mivet(home, {}, '--install', 'codex');
    const app = await startAppSim(home);
    st.after(app.stop);
    const server = startAppServer(home);
    st.after(server.close);
    try {
      await server.request('initialize', { clientInfo: { name: 'mivet-client-test', version: '1.0.0' } });
      server.notify('initialized');
      const status = await server.request('mcpServerStatus/list', {});
      const ours = status.data.find((entry) => entry.name === 'mivet');
      assert.ok(ours, JSON.stringify(status));
      assert.deepEqual(Object.keys(ours.tools).sort(), [...toolNames].sort());
      const { thread } = await server.request('thread/start', { ephemeral: true, cwd: home });
      const title = 'Réviser la PR / “Codex” 🚀';
      const call = await server.request('mcpServer/tool/call',
        { server: 'mivet', threadId: thread.id, tool: 'tasks_add', arguments: { title, dueAt: 'tomorrow' } });
      assert.equal(call.isError, false, JSON.stringify(call));
      assert.equal(JSON.parse(call.content[0].text).title, title);
    } catch (error) {
      error.message += `\n--- codex app-server stderr ---\n${server.stderr()}`;
      throw error;
    }
    const tasks = JSON.parse(fs.readFileSync(app.statePath, 'utf8')).tasks;
    assert.deepEqual(tasks.map((task) => task.title), ['Réviser la PR / “Codex” 🚀']);
  });
});

// `codex app-server`: JSON-RPC, one message per line on stdio.
function startAppServer(home) {
  const child = spawn(codex, ['app-server'], { env: clientEnv(home), cwd: home, stdio: ['pipe', 'pipe', 'pipe'] });
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  const pending = new Map();
  let nextId = 1;
  readline.createInterface({ input: child.stdout }).on('line', (line) => {
    const message = JSON.parse(line);
    const waiting = pending.get(message.id);
    if (message.method !== undefined || !waiting) return;
    pending.delete(message.id);
    if (message.error) waiting.reject(new Error(`${JSON.stringify(message.error)}`));
    else waiting.resolve(message.result);
  });
  const exited = new Promise((resolve) => child.on('exit', resolve));
  return {
    stderr: () => stderr,
    notify: (method) => child.stdin.write(JSON.stringify({ method }) + '\n'),
    request: (method, params) => new Promise((resolve, reject) => {
      const id = nextId++;
      const timer = setTimeout(() => reject(new Error(`no answer to ${method} within 20 s`)), 20000);
      pending.set(id, {
        resolve: (value) => { clearTimeout(timer); resolve(value); },
        reject: (error) => { clearTimeout(timer); reject(error); },
      });
      child.stdin.write(JSON.stringify({ id, method, params }) + '\n');
    }),
    close: async () => {
      child.stdin.end();
      const timer = setTimeout(() => child.kill('SIGKILL'), 5000);
      await exited;
      clearTimeout(timer);
    },
  };
}
