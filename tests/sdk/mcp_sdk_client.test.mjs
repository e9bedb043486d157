// Drives the built mivet-mcp with the official MCP TypeScript SDK client, the
// way an assistant does, against a fake desktop application on a Unix socket.
// MIVET_MCP_BINARY names the program under test.
import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';

import { Client } from '@modelcontextprotocol/sdk/client/index.js';
import { StdioClientTransport } from '@modelcontextprotocol/sdk/client/stdio.js';
import { LATEST_PROTOCOL_VERSION, McpError, ResultSchema } from '@modelcontextprotocol/sdk/types.js';
import { AjvJsonSchemaValidator } from '@modelcontextprotocol/sdk/validation/ajv';

const binary = process.env.MIVET_MCP_BINARY;
const serverVersions = ['2025-06-18', '2025-03-26', '2024-11-05'];
const fallbackVersion = '2024-11-05';

// One valid call per tool, in catalogue order.
const toolCalls = [
  ['tasks_add', {
    title: 'Review PR #42',
    dueAt: 'tomorrow',
    notes: 'see the thread\nsecond line',
    sourceContext: 'mivet/main',
    excerpt: '“quoted” détail',
    deepLink: 'https://example.com/pr/42?tab=files',
    source: 'manual',
    autoExtracted: false,
  }],
  ['tasks_list', { scope: 'overdue' }],
  ['tasks_complete', { id: 'T-1' }],
  ['tasks_update_title', { id: 'T-1', title: 'Réviser la PR 🚀' }],
  ['tasks_reschedule', { id: 'T-1', dueAt: '2025-07-01' }],
  ['tasks_reorder', { id: 'T-1', toIndex: 0, overdue: true }],
  ['tasks_remove', { id: 'T-1' }],
  ['schedule_today', {}],
  ['browser_status', {}],
  ['browser_check_source', { source: 'gmail' }],
];
const toolNames = toolCalls.map(([name]) => name);

// The one call that the fake application refuses.
const refusedCall = ['tasks_remove', { id: 'T-404' }];
const refusal = 'task_not_found';

// The fake application's answer to a request it accepts: the method and the
// params echoed, with keys deliberately out of order at every depth.
function successResult(request) {
  return { zeta: { y: 1, b: [{ d: 4, c: 3 }] }, method: request.method, params: request.params, alpha: null };
}

function answerFor(request) {
  if (request.method === refusedCall[0] && request.params.id === refusedCall[1].id) {
    return { ok: false, error: refusal };
  }
  return { ok: true, result: successResult(request) };
}

// A Unix-socket server that reads one request line per connection, records
// it and answers with one line, as the desktop application does.
async function startFakeApp(socketPath) {
  const received = [];
  const server = net.createServer((socket) => {
    let buffered = '';
    let answered = false;
    socket.setEncoding('utf8');
    socket.on('error', () => {});
    socket.on('data', (chunk) => {
      if (answered) return;
      buffered += chunk;
      const end = buffered.indexOf('\n');
      if (end < 0) return;
      answered = true;
      const request = JSON.parse(buffered.slice(0, end));
      received.push(request);
      socket.end(JSON.stringify(answerFor(request)) + '\n');
    });
  });
  await new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(socketPath, resolve);
  });
  return { received, close: () => new Promise((resolve) => server.close(resolve)) };
}

// Passes every message through to the stdio transport. It can replace the
// protocol version of the client's "initialize" request (the SDK always asks
// for its newest one), and keeps the version that the client settled on.
class VersionPinningTransport {
  constructor(inner, requestedVersion) {
    this.inner = inner;
    this.requestedVersion = requestedVersion;
    this.sentInitialize = undefined;
    this.negotiatedVersion = undefined;
  }

  async start() {
    this.inner.onmessage = (message) => this.onmessage?.(message);
    this.inner.onerror = (error) => this.onerror?.(error);
    this.inner.onclose = () => this.onclose?.();
    await this.inner.start();
  }

  async send(message, options) {
    if (message.method === 'initialize') {
      if (this.requestedVersion) {
        message = { ...message, params: { ...message.params, protocolVersion: this.requestedVersion } };
      }
      this.sentInitialize = message;
    }
    await this.inner.send(message, options);
  }

  async close() {
    await this.inner.close();
  }

  setProtocolVersion(version) {
    this.negotiatedVersion = version;
  }
}

// Starts mivet-mcp under the SDK client; `requestedVersion` undefined lets the
// SDK ask for its own newest version.
async function openSession(requestedVersion) {
  assert.ok(binary, 'MIVET_MCP_BINARY must name the built mivet-mcp');
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'mivet-sdk-'));
  const socketPath = path.join(dir, 'app.sock');
  const app = await startFakeApp(socketPath);
  const stdio = new StdioClientTransport({
    command: binary,
    args: ['--socket', socketPath],
    env: { HOME: dir },
    stderr: 'pipe',
  });
  let stderr = '';
  stdio.stderr.on('data', (chunk) => { stderr += chunk; });
  const transport = new VersionPinningTransport(stdio, requestedVersion);
  const client = new Client({ name: 'mivet-sdk-test', version: '1.0.0' });
  const removeAll = async () => {
    await app.close();
    fs.rmSync(dir, { recursive: true, force: true });
  };
  try {
    await client.connect(transport, { timeout: 5000 });
  } catch (error) {
    await removeAll();
    throw error;
  }
  // The transport keeps the spawned server private; its exit status is what
  // the shutdown check is about, so watch the process itself.
  const exited = new Promise((resolve) => {
    stdio._process.once('exit', (code, signal) => resolve({ code, signal }));
  });
  return {
    client,
    transport,
    app,
    exited,
    stderr: () => stderr,
    cleanUp: async () => {
      await client.close();
      await removeAll();
    },
  };
}

// A copy of `value` whose objects list their members in ascending key order.
function sortedCopy(value) {
  if (Array.isArray(value)) return value.map(sortedCopy);
  if (value === null || typeof value !== 'object') return value;
  return Object.fromEntries(Object.keys(value).sort().map((key) => [key, sortedCopy(value[key])]));
}

// The text that the server must make of an application result: compact JSON
// with sorted keys, a slash written as a backslash and a slash.
function expectedText(result) {
  return JSON.stringify(sortedCopy(result)).replaceAll('/', '\\/');
}

function onlyText(result) {
  assert.equal(result.content.length, 1);
  assert.equal(result.content[0].type, 'text');
  return result.content[0].text;
}

describe('mivet-mcp under the MCP SDK client', () => {
  test('a session at 2025-06-18: handshake, tools, failures, shutdown', async (t) => {
    const session = await openSession('2025-06-18');
    const { client, transport, app } = session;
    t.after(session.cleanUp);

    await t.test('initialize keeps the requested version and describes the server', () => {
      assert.equal(transport.sentInitialize.params.protocolVersion, '2025-06-18');
      assert.equal(transport.negotiatedVersion, '2025-06-18');
      assert.deepEqual(client.getServerCapabilities(), { tools: { listChanged: false } });
      assert.deepEqual(client.getServerVersion(), { name: 'mivet', version: '1.0.0' });
      assert.match(client.getInstructions(), /^Use Mivet tools to add, list, complete/);
    });

    await t.test('ping', async () => {
      assert.deepEqual(await client.ping(), {});
    });

    let tools = [];
    await t.test('listTools passes the SDK schema and lists the ten tools in order', async () => {
      ({ tools } = await client.listTools());
      assert.deepEqual(tools.map((tool) => tool.name), toolNames);
      for (const tool of tools) {
        assert.equal(tool.inputSchema.type, 'object', tool.name);
        assert.equal(typeof tool.description, 'string', tool.name);
      }
    });

    await t.test('the empty resource and prompt lists pass the SDK schemas', async () => {
      assert.deepEqual((await client.listResources()).resources, []);
      assert.deepEqual((await client.listPrompts()).prompts, []);
    });

    await t.test('every tool call reaches the application unchanged and returns its result', async () => {
      const validator = new AjvJsonSchemaValidator();
      for (const [name, args] of toolCalls) {
        const schema = tools.find((tool) => tool.name === name)?.inputSchema;
        assert.ok(schema, `no schema for ${name}`);
        const check = validator.getValidator(schema)(args);
        assert.ok(check.valid, `${name} arguments rejected by its own schema: ${check.errorMessage}`);

        const before = app.received.length;
        const result = await client.callTool({ name, arguments: args });
        assert.equal(app.received.length, before + 1, name);
        const request = app.received.at(-1);
        assert.equal(request.method, name);
        assert.deepEqual(request.params, args);
        assert.match(request.id, /^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$/);

        assert.equal(result.isError, false, name);
        assert.equal(onlyText(result), expectedText(successResult(request)), name);
      }
    });

    await t.test('a refusal of the application comes back with isError true', async () => {
      const result = await client.callTool({ name: refusedCall[0], arguments: refusedCall[1] });
      assert.equal(result.isError, true);
      assert.equal(onlyText(result), `{"error":"${refusal}","ok":false}`);
      assert.deepEqual(app.received.at(-1).params, refusedCall[1]);
    });

    await t.test('methods the server lacks are answered at once with -32601', async () => {
      const before = app.received.length;
      for (const method of ['resources/read', 'prompts/get', 'Ping']) {
        await assert.rejects(
          client.request({ method, params: { uri: 'mivet://tasks', name: 'x' } }, ResultSchema, { timeout: 3000 }),
          (error) => error instanceof McpError && error.code === -32601 &&
            error.message.endsWith(`Method not found: ${method}`),
          method);
      }
      assert.equal(app.received.length, before, 'an unknown method must not reach the application');
    });

    await t.test('closing stdin ends the server with status 0 and nothing on stderr', async () => {
      await client.close();
      assert.deepEqual(await session.exited, { code: 0, signal: null });
      assert.equal(session.stderr(), '');
    });
  });

  test('a client at a newer protocol version is answered with the fallback and accepts it', async (t) => {
    assert.ok(!serverVersions.includes(LATEST_PROTOCOL_VERSION),
      `the SDK's newest version ${LATEST_PROTOCOL_VERSION} is one the server knows; pick a newer one`);
    const session = await openSession(undefined);
    t.after(session.cleanUp);
    const { client, transport } = session;

    assert.equal(transport.sentInitialize.params.protocolVersion, LATEST_PROTOCOL_VERSION);
    assert.equal(transport.negotiatedVersion, fallbackVersion);
    assert.deepEqual(await client.ping(), {});
    const result = await client.callTool({ name: 'tasks_list', arguments: { scope: 'all' } });
    assert.equal(result.isError, false);
    assert.deepEqual(session.app.received.at(-1).params, { scope: 'all' });

    await client.close();
    assert.deepEqual(await session.exited, { code: 0, signal: null });
  });
});
