#pragma once
// TAVRIN_ADDRESS_SANITIZER is 1 when this file is compiled with the address
// sanitizer, else 0. GCC says so with __SANITIZE_ADDRESS__; clang (before
// version 15) only through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define TAVRIN_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVRIN_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef TAVRIN_ADDRESS_SANITIZER
#define TAVRIN_ADDRESS_SANITIZER 0
#endif
