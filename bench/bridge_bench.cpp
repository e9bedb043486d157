// Per-frame costs of mivet-browser-bridge without the pipes and the socket:
// parsing a frame body, building the application request from it, parsing
// the application's answer and writing the reply frame.
#include "MivetBrowserBridge/compact_copy.h"
#include "MivetBrowserBridge/frame_workspace.h"
#include "MivetBrowserBridge/frame_writer.h"
#include "MivetBrowserBridge/in_place_json.h"
#include "MivetBrowserBridge/message_table.h"
#include "MivetBrowserBridge/message_text.h"
#include "MivetBrowserBridge/request_line.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <random>

namespace {

using namespace mivet;

// About 230 bytes, as the extension sends every few seconds.
std::string heartbeatBody() {
  return R"({"type":"heartbeat","payload":{"extensionVersion":"1.4.2","seq":4711,)"
         R"("sentAt":"2025-03-14T09:30:00.123Z","sources":{"gmail":true,"canvas":false,)"
         R"("outlook":true,"slack":true},"activeTab":"https://mail.example.com/mail/u/0/#inbox"}})";
}

// Mail-like items (subjects, multi-line bodies with quotes, links, non-ASCII)
// up to about `targetBytes`.
std::string digestBody(std::size_t targetBytes) {
  static const char* words[] = {"review", "merge",  "deploy", "invoice", "Grüße", "café",
                                "Zürich", "東京",   "会議",   "Привет",  "🚀",     "✅",
                                "agenda", "report", "draft",  "budget",  "sync",  "—"};
  std::mt19937 random(1000);
  auto sentence = [&](int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
      if (i > 0) text += ' ';
      text += words[random() % 18];
    }
    return text;
  };
  std::string body =
      R"({"type":"digest","payload":{"source":"gmail","capturedAt":"2025-03-14T09:30:00Z",)"
      R"("account":"user@example.com","items":[)";
  for (int n = 0; body.size() < targetBytes - 1000; ++n) {
    std::string id = std::to_string(100000 + n);
    if (n > 0) body += ',';
    body += R"({"id":")" + id + R"(","from":{"name":")" + sentence(2) +
            R"(","email":"sender@example.org"},"subject":")" + sentence(6) + R"(","body":")" +
            sentence(12) + "\\n" + sentence(12) + R"(\n\"quoted\" \\ end",)" +
            R"("url":"https://mail.example.com/mail/u/0/#inbox/)" + id +
            R"(","labels":["inbox","work"],"unread":false,"receivedAt":"2025-03-09T08:15:00Z"})";
  }
  return body + "]}}";
}

// The application echoes the request's params back as its result, as the
// bridge wrote them.
std::string echoedAnswer(const std::string& body) {
  std::string params;
  bridge::requestFromText(body, params);
  return R"({"ok":true,"result":)" + params + "}";
}

const std::string& fixture(int which) {
  static const std::string heartbeat = heartbeatBody(), digest = digestBody(1000000);
  return which == 0 ? heartbeat : digest;
}

// `text` in `buffer` as the bridge holds it: with room for the parser's padding.
void load(std::string& buffer, const std::string& text) {
  buffer.reserve(text.size() + simdjson::SIMDJSON_PADDING);
  buffer.assign(text);
}

int devNull() {
  static const int fd = ::open("/dev/null", O_WRONLY);
  return fd;
}

// Parsing a body into values: what the bridge falls back to for text its
// own walk cannot vouch for.
void BM_ParseBody(benchmark::State& state) {
  const std::string& body = fixture(static_cast<int>(state.range(0)));
  bridge::FrameWorkspace workspace;
  load(workspace.body, body);
  for (auto _ : state) {
    benchmark::DoNotOptimize(bridge::parseObjectInPlace(workspace.parsers, workspace.body));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_ParseBody)->Arg(0)->Arg(1);

// Reading the method and the params out of a body; range(1) == 0 parses it
// and writes the params value by value (the fallback), 1 walks the text.
void BM_PrepareRequest(benchmark::State& state) {
  const std::string& body = fixture(static_cast<int>(state.range(0)));
  const bool walkText = state.range(1) == 1;
  bridge::FrameWorkspace workspace;
  load(workspace.body, body);
  for (auto _ : state) {
    if (walkText) {
      benchmark::DoNotOptimize(bridge::requestFromText(workspace.body, workspace.request));
    } else {
      auto message = bridge::parseObjectInPlace(workspace.parsers, workspace.body);
      auto request = bridge::requestForMessage(*message);
      workspace.request.clear();
      benchmark::DoNotOptimize(bridge::appendParams(workspace.request, request.params));
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_PrepareRequest)->Args({0, 0})->Args({0, 1})->Args({1, 0})->Args({1, 1});

// Writing the reply frame for the echoed answer; range(1) == 0 parses it and
// writes it value by value (the fallback), 1 checks the text and writes it as
// it is.
void BM_WriteReply(benchmark::State& state) {
  const std::string answer = echoedAnswer(fixture(static_cast<int>(state.range(0))));
  const bool walkText = state.range(1) == 1;
  bridge::FrameWorkspace workspace;
  load(workspace.body, answer);
  for (auto _ : state) {
    if (walkText) {
      auto length = bridge::compactValueLength(workspace.body);
      bridge::writeFrame(std::string_view(workspace.body).substr(0, *length), devNull());
    } else {
      auto reply = bridge::parseObjectInPlace(workspace.parsers, workspace.body);
      bridge::writeNativeMessage(*reply, workspace.request, devNull());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * answer.size()));
}
BENCHMARK(BM_WriteReply)->Args({0, 0})->Args({0, 1})->Args({1, 0})->Args({1, 1});

// The per-frame path as the loop takes it for these messages, without the
// pipes and the socket: body read from the text, request line built, echoed
// answer checked, reply written.
void BM_FramePath(benchmark::State& state) {
  const std::string& body = fixture(static_cast<int>(state.range(0)));
  const std::string answer = echoedAnswer(body);
  bridge::FrameWorkspace workspace;
  for (auto _ : state) {
    load(workspace.body, body);
    auto method = bridge::requestFromText(workspace.body, workspace.request);
    bridge::wrapParamsInRequestLine(workspace.request, *method);
    load(workspace.body, answer);
    auto length = bridge::compactValueLength(workspace.body);
    bridge::writeFrame(std::string_view(workspace.body).substr(0, *length), devNull());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_FramePath)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
