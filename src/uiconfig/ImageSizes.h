#pragma once
// The size of one frame of each image of the window, at scale 1.0: knobs
// 48 x 48, LED strips a column of 12 x 12 dots, small buttons 32 x 16, the
// window and its pages as large as the regions they cover. The image tool
// draws to these sizes and the authoring checks hold the files to them.
// Constant data: any thread may read it.
#include <string_view>

namespace uiconfig {

struct FrameSize {
  const char* id;
  int w, h;
};
inline constexpr FrameSize kFrameSizes[] = {
    {"MANAGER_BG_ID2", 1480, 588}, {"BG_ID_PLAIN", 1500, 757}, {"BG_ID_DISPLAY", 760, 96},
    {"BG_ID_EDIT", 1480, 588}, {"BG_ID_BROWSER", 1288, 452}, {"KNOB_ID21", 48, 48}, {"KNOB_ID97", 48, 48},
    {"KNOB_ID127_FC", 48, 48}, {"KNOB_ID127", 48, 48}, {"BUTTON_LIB_DISCARD_ID", 120, 32},
    {"BUTTON_LIB_CANCEL_ID", 120, 32}, {"PROGRESS_INDICATOR_ID", 1500, 757}, {"BUTTON_LOCK_WHITE_ID", 16, 16},
    {"BUTTON_LOCK_BLACK_ID", 16, 16}, {"BG_RENAME_ID", 400, 80}, {"BTN_18x18_ID", 18, 18},
    {"BTN_127x18_ID", 127, 18}, {"BTN_RADIO_ARP_ID", 68, 256}, {"KNOB_PERCENTAGE_ID", 32, 16},
    {"BTN_ON_OFF_ARP_ID", 32, 16}, {"BG_ABOUT_ID", 1480, 324}, {"BTN_EXIT_ABOUT_ID", 120, 32},
    {"BTN_SEE_ABOUT_ID", 120, 32}, {"BG_FIRST_RUN_ID", 1480, 324}, {"BTN_EXIT_FIRST_RUN_ID", 120, 32},
    {"BG_ID_MIDI_FILTERS", 1480, 324}, {"BTN_CHECKBOX_ID", 16, 16}, {"BUTTON_BANK_SEARCH_ID", 24, 24},
    {"BG_SEARCH_FIELD_ID", 420, 28}, {"BG_ID_MAIN", 1500, 757}, {"LED_SINGLE_ID", 12, 12}, {"LED_FEM_ID", 12, 60},
    {"LED_QUAD_ID", 12, 48}, {"LED_TEN_ID", 12, 120}, {"LED_SEVEN_ID", 12, 84}, {"LED_SEVEN_PROT_ID", 12, 84},
    {"LED_SINGLE_PROT_ID", 12, 12}, {"LED_FEM_PROT_ID", 12, 60}, {"LED_TEN_PROT_ID", 12, 120},
    {"LED_QUAD_PROT_ID", 12, 48}, {"LED_SINGLE_G_ID", 12, 12}, {"BG_ID_ARPEGGIATOR", 1480, 588},
    {"BG_ARP_KNOB_ID", 72, 72}, {"BG_ARP_SYNC_ID", 112, 48}, {"BTN_OFFON_ID", 40, 16},
    {"BG_ID_CATEGORY_FILTER", 420, 28}, {"BG_EVENT_OVERLAYER", 76, 320}, {"BG_ID_KEYTRACK", 100, 72},
    {"BG_ID_UNISON", 100, 72}, {"BG_ID_ENV_FADE", 100, 72}, {"BG_LFO1_CLOCK", 160, 80}, {"BG_TEMPO_KNOB", 72, 72},
    {"BG_TEMPO_CLOCK", 112, 48}, {"BUTTON_BANK_OVERWRITE_ID", 120, 32}, {"BUTTON_SML_LED_ID", 32, 16},
    {"BUTTON_SMALL_ID", 32, 16}, {"BTN_RELEASE_ALL_LOCKS", 120, 32},
};

// The words a button's picture carries, drawn into every frame by the image
// tool at a pixel size; such a button needs no caption beside it. An entry
// without text names an image whose cells carry the entries of the list
// that the controls showing it name (the step event cells).
struct ImageText {
  const char* id;
  const char* text;
  int px;
};
inline constexpr ImageText kImageTexts[] = {
    {"BTN_SEE_ABOUT_ID", "ABOUT", 12},         {"BTN_EXIT_ABOUT_ID", "CLOSE", 12},
    {"BTN_EXIT_FIRST_RUN_ID", "CLOSE", 12},     {"BUTTON_LIB_DISCARD_ID", "DISCARD EDITS", 12},
    {"BUTTON_LIB_CANCEL_ID", "CANCEL", 12},     {"BUTTON_BANK_OVERWRITE_ID", "SAVE BANK", 12},
    {"BTN_RELEASE_ALL_LOCKS", "RELEASE LOCKS", 12}, {"BTN_127x18_ID", "REFRESH FOLDERS", 10},
    {"BTN_RADIO_ARP_ID", nullptr, 9},
};

// The text row of an image id, or null.
inline const ImageText* imageText(std::string_view id) {
  for (const ImageText& t : kImageTexts)
    if (id == t.id) return &t;
  return nullptr;
}

// The frame size of an image id, or null.
inline const FrameSize* frameSize(std::string_view id) {
  for (const FrameSize& f : kFrameSizes)
    if (id == f.id) return &f;
  return nullptr;
}

}  // namespace uiconfig
