/* The second entry of the module, for hosts that look for "main". A C file:
   a C++ main returning a pointer is ill-formed. */
#include <stdint.h>

struct AEffect;
typedef intptr_t (*audioMasterCallback)(struct AEffect*, int32_t, int32_t, intptr_t, void*, float);

struct AEffect* VSTPluginMain(audioMasterCallback host);

struct AEffect* main(audioMasterCallback host) { return VSTPluginMain(host); }
