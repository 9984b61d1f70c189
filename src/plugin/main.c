/* The second entry of the module, for hosts that look for "main". Its
   signature is not that of a program's main, so the function has another
   name in C and takes "main" as its symbol only, which every compiler
   accepts without complaint. */
#include <stdint.h>

struct AEffect;
typedef intptr_t (*audioMasterCallback)(struct AEffect*, int32_t, int32_t, intptr_t, void*, float);

struct AEffect* VSTPluginMain(audioMasterCallback host);

struct AEffect* moduleMain(audioMasterCallback host) __asm__("main");
struct AEffect* moduleMain(audioMasterCallback host) { return VSTPluginMain(host); }
