// Talks to the native-messaging host as the Mivet extension does, then
// writes one console line "MIVET-CLIENT-TEST <json>" with every message it
// sent and every reply it got; Chromium's log carries it to the test.
const host = 'com.mivet.browser_bridge';
const mebibyte = 1048576;

const heartbeat = { type: 'heartbeat', payload: { extensionVersion: '1.0.0', enabledSources: ['gmail', 'canvas'] } };
const digest = {
  type: 'digest',
  payload: {
    source: 'gmail',
    subject: 'Réunion « équipe » 🚀 — 会議',
    items: [{ from: 'ana@example.com', snippet: 'Line one\nLine two\twith a "quote", a \\ and a / slash\u0001' }],
    url: 'https://mail.example.com/mail/u/0/#inbox',
    unread: 3,
    ratio: 0.5,
  },
};

// A digest whose JSON text is exactly `size` bytes long.
function digestOfSize(size) {
  const message = { type: 'digest', payload: { source: 'canvas', text: '' } };
  message.payload.text = 'x'.repeat(size - JSON.stringify(message).length);
  return message;
}

// Posts `messages` on one connection and collects the replies until the host
// ends the connection, or until `keep` replies came (then the extension ends
// it). `afterReply` is posted once the first reply is in.
function converse(messages, { keep, afterReply } = {}) {
  return new Promise((resolve) => {
    const port = chrome.runtime.connectNative(host);
    const replies = [];
    let timer;
    const finish = (hostEnded, error) => {
      clearTimeout(timer);
      resolve({ replies, hostEnded, error });
    };
    port.onMessage.addListener((reply) => {
      replies.push(reply);
      if (replies.length === keep) {
        port.disconnect();
        finish(false);
      } else if (replies.length === 1 && afterReply) {
        port.postMessage(afterReply);
      }
    });
    port.onDisconnect.addListener(() => finish(true, chrome.runtime.lastError?.message));
    for (const message of messages) port.postMessage(message);
    timer = setTimeout(() => {
      port.disconnect();
      finish(false, 'timed out');
    }, 10000);
  });
}

async function runAll() {
  const report = {};
  const conversation = [heartbeat, digest, { type: 'ping', payload: { ignored: true } }];
  report.conversation = { sent: conversation, ...(await converse(conversation, { keep: 3 })) };
  report.oneShot = await new Promise((resolve) => {
    chrome.runtime.sendNativeMessage(host, { type: 'ping' }, (reply) =>
      resolve({ reply, error: chrome.runtime.lastError?.message }));
  });
  // Not objects: each is answered once; a message after it is never read.
  report.notObjects = [];
  for (const bad of [[1, 2], null, 'just a string']) {
    report.notObjects.push({ sent: bad, ...(await converse([bad], { afterReply: { type: 'ping' } })) });
  }
  const largest = digestOfSize(mebibyte);
  const tooLarge = digestOfSize(mebibyte + 1);
  report.largest = { size: JSON.stringify(largest).length, ...(await converse([largest], { keep: 1 })) };
  report.tooLarge = { size: JSON.stringify(tooLarge).length, ...(await converse([tooLarge])) };
  console.log('MIVET-CLIENT-TEST ' + JSON.stringify(report));
}

runAll().catch((error) => console.log('MIVET-CLIENT-TEST ' + JSON.stringify({ failed: String(error) })));
