#pragma once
// A scripted host for the audio callback: per block it sets the sample rate
// and block size (through the effect's dispatcher, which resets the
// plug-in, when they change), answers the time queries with the block's
// transport and tempo, and runs the block through the effect's double
// process callback with two inputs of non-zero samples and two outputs
// filled with garbage.
#include <cstdint>
#include <mutex>
#include <vector>

#include "host/EffectInterface.h"
#include "host/IPluginVST.h"

namespace edtest {

class HostScript {
 public:
  struct Block {
    int frames = 512;
    bool playing = false;
    double tempo = 120.0;
    double sampleRate = 44100.0;
    int blockSize = 512;
  };

  // The callback to make a plug-in with: it answers the time queries of the
  // plug-in a script is bound to, and 0 to everything else.
  static audioMasterCallback callback();

  // Binds to plug (made with callback()) until destroyed; one script per
  // plug-in. The plug-in may go first; no block may run after it.
  explicit HostScript(IPluginVST& plug);
  ~HostScript();
  HostScript(const HostScript&) = delete;
  HostScript& operator=(const HostScript&) = delete;

  // One block on the calling thread; the host's own reset (effMainsChanged
  // off) when asked.
  void run(const Block& block);
  void reset();
  // Whether every output sample of the last block was 0.
  bool silent() const { return mSilent; }
  // The samples the last block left in its inputs, unchanged.
  bool inputsKept() const { return mInputsKept; }

 private:
  static intptr_t answer(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
  // The time record the plug-in reads: written and copied under the lock.
  static std::mutex sScriptsLock;
  VstTimeInfo mTime{};
  AEffect* mEffect;
  double mRate = -1.0;
  int mBlockSize = -1;
  bool mSilent = false;
  bool mInputsKept = false;
  std::vector<std::vector<double>> mIn, mOut;
};

}  // namespace edtest
