#pragma once
// The value behind a parameter's display text: the first entry whose text
// holds name, or -1. Takes the plug-in's mutex, so any thread may ask.
#include <string>

#include "framework/IParam.h"
#include "framework/IPluginBase.h"
#include "kit/mutex.h"

namespace testsupport {

inline int listedValue(IPluginBase& plug, int idx, const std::string& name) {
  KIT_MutexLock lock(plug.GetMutex());
  IParam* p = plug.GetParam(idx);
  for (int i = 0; p && i < p->GetNDisplayTexts(); ++i) {
    int value = 0;
    const char* text = p->GetDisplayTextAtIdx(i, &value);
    if (text && std::string(text).find(name) != std::string::npos) return value;
  }
  return -1;
}

}  // namespace testsupport
