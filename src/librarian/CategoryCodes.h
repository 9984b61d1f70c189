#pragma once
// The category list a bank file's patch goes to, one byte a patch: noted by
// the folder scan while the file is read (its patches are at hand then) and
// used when the scan builds the category lists (PatchLists.cpp).
#include <cstdint>

#include "librarian/LibrarianPatch.h"

inline constexpr uint8_t kNoCategoryList = 0xFF;  // "INIT" and other texts without a list
inline constexpr uint8_t kCategoryCodeMask = 0x1F;
// The list refers to the patch itself: its copy there would be the same.
inline constexpr uint8_t kSharedInList = 0x80;

uint8_t categoryListCode(const LibrarianPatch& patch);
