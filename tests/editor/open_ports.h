#pragma once
// An output port that is always open and hands what it is sent to a
// callback; it lists "OFF" and "Synth" and delivers no input. For tests and
// fuzz targets that need sends to succeed without a MIDI system.
#include <functional>
#include <string>
#include <vector>

#include "framework/IHardwarePorts.h"

namespace edtest {

class OpenPorts : public IHardwarePorts {
 public:
  using Sink = std::function<void(const uint8_t* bytes, size_t size)>;
  explicit OpenPorts(Sink onSend = {}) : mOnSend(std::move(onSend)) {}
  const std::vector<std::string>& outNames() override { return mNames; }
  const std::vector<std::string>& inNames() override { return mNames; }
  int openOut(int& portIndex, const char*) override { return portIndex; }
  int openIn(int& portIndex, const char*) override { return portIndex; }
  int findOut(const char*) override { return -1; }
  int findIn(const char*) override { return -1; }
  bool initializeVirtualOutput(const std::string&) override { return false; }
  bool outOpen() const override { return true; }
  int openOutIndex() const override { return 1; }
  int openInIndex() const override { return 0; }
  bool send(const uint8_t* bytes, size_t size) override {
    if (mOnSend) mOnSend(bytes, size);
    return true;
  }
  void setInputSink(IHardwareInputSink*) override {}
  void shutdown() override {}

 private:
  Sink mOnSend;
  std::vector<std::string> mNames{"OFF", "Synth"};
};

}  // namespace edtest
