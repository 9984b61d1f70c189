// The control-action encoder against copying its bytes from a table, in
// the same run. A generated description of 300 bound controls (100 CC
// knobs, 50 NRPN knobs, 150 system-exclusive knobs, each 0..127) is built by
// readUIConfig; the expected messages of every value of every action are
// worked out once. A: copying them from that table into a reused buffer.
// B: the encoder writing them into the same buffer. Each iteration measures
// both over every value; the counter "ratio" is median B / median A; its
// goal is in bench/goals.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "framework/IParam.h"
#include "uiconfig/ControlActionEncoder.h"
#include "uiconfig/UIConfigManager.h"
#include "uiconfig_fakes.h"

namespace {

std::string hex2(int v) {
  char b[4];
  std::snprintf(b, sizeof b, "%02X", v & 0x7F);
  return b;
}

struct Generated {
  uitest::Plug plug;
  uitest::MemoryGraphics* g = new uitest::MemoryGraphics(&plug, 1500, 757);
  UIConfigManager ui;
  struct Entry {
    const ControlAction* action;
    int idx;
    double value;
  };
  std::vector<Entry> entries;
  std::vector<EncodedMessages> table;

  Generated() {
    plug.AttachGraphics(g);
    std::string list = "<sysexlist>", window = "<uiconfig>";
    for (int i = 0; i < 300; ++i) {
      const std::string common = " paramId=\"kOscillator1Semitone+" + std::to_string(i) +
                                 "\" imageId=\"KNOB_ID127\" valueBounds=\"0,0,127,1\"";
      if (i < 100) {
        window += "<knobcontrol type=\"ccKnob\" ccNumber=\"" + std::to_string(i) + "\"" + common + "/>";
      } else if (i < 150) {
        window += "<knobcontrol type=\"msbLsbKnob\" ccNumber=\"6\" msbValue=\"1\" lsbControl=\"" +
                  std::to_string(i - 100) + "\"" + common + "/>";
      } else {
        const int n = i - 150;
        list += "<sysex><values><value>3E 16 58 41 " + hex2(n / 128) + " " + hex2(n) + " 00 00</value></values></sysex>";
        window += "<knobcontrol type=\"seKnob\" sysexIndex=\"" + std::to_string(n) + "\" changingByte=\"7\"" + common + "/>";
      }
    }
    g->files["sysex.tea"] = uiconfig::encipherDescription(list + "</sysexlist>");
    g->files["uiconfig.tea"] = uiconfig::encipherDescription(window + "</uiconfig>");
    ui.readUIConfig(g, &plug, UIConfigServices(), 0, 1.0);
    for (int i = 0; i < 300; ++i) {
      const ControlAction* a = plug.GetParam(i)->GetControlAction();
      if (!a) continue;
      for (int v = 0; v <= 127; ++v) {
        entries.push_back({a, i, (double)v});
        table.emplace_back();
        encodeControlAction(*a, i, v, 0.0, 0, 5, table.back());
      }
    }
  }
};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

// What a sender does with the messages: touches every byte.
int consume(const EncodedMessages& m) {
  int sum = 0;
  for (int i = 0; i < m.channelCount; ++i) sum += m.channel[i].mData2;
  for (int v : m.sysexInts) sum += v;
  return sum;
}

void BM_Encoder(benchmark::State& state) {
  static Generated gen;
  if (gen.entries.size() != 300u * 128u) {
    state.SkipWithError("the description did not build 300 bound controls");
    return;
  }
  EncodedMessages out;
  std::vector<double> a, b;
  long long sink = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    for (const EncodedMessages& e : gen.table) {
      out.clear();
      std::copy(e.channel, e.channel + e.channelCount, out.channel);
      out.channelCount = e.channelCount;
      out.sysexInts.insert(out.sysexInts.end(), e.sysexInts.begin(), e.sysexInts.end());
      out.sysexEnds.insert(out.sysexEnds.end(), e.sysexEnds.begin(), e.sysexEnds.end());
      sink += consume(out);
    }
    const auto t1 = std::chrono::steady_clock::now();
    for (const Generated::Entry& e : gen.entries) {
      encodeControlAction(*e.action, e.idx, e.value, 0.0, 0, 5, out);
      sink += consume(out);
    }
    const auto t2 = std::chrono::steady_clock::now();
    a.push_back(std::chrono::duration<double>(t1 - t0).count());
    b.push_back(std::chrono::duration<double>(t2 - t1).count());
    state.SetIterationTime(b.back());
  }
  benchmark::DoNotOptimize(sink);
  state.counters["A_us"] = median(a) * 1e6;
  state.counters["B_us"] = median(b) * 1e6;
  state.counters["ratio"] = median(a) > 0 ? median(b) / median(a) : 0;
}
BENCHMARK(BM_Encoder)->Iterations(5)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
