#pragma once
// The window's images: each id string that the user-interface description
// names in "imageId", with the resource id under which the bitmap is cached,
// its file in the resource folder's "img" folder, its frame count and
// whether the frames lie side by side (else top to bottom). The table is
// registered in this order. Constant data: any thread may read it.

namespace uiconfig {

struct ImageRow {
  const char* idString;
  int resourceId;
  const char* file;
  int frames;
  bool sideBySide;
};

inline constexpr int kImageCount = 57;

// The two 128-frame knobs say 127 in their id strings.
inline constexpr ImageRow kImageTable[kImageCount] = {
    {"MANAGER_BG_ID2", 117, "manager_bg_blank.png", 1, true},
    {"BG_ID_PLAIN", 102, "main-frame-bg.png", 1, true},
    {"BG_ID_DISPLAY", 104, "main-display.png", 1, true},
    {"BG_ID_EDIT", 105, "layer-main.png", 1, true},
    {"BG_ID_BROWSER", 106, "browser-layer.png", 1, true},
    {"KNOB_ID21", 120, "knob-tavrin-normal-21.png", 21, false},
    {"KNOB_ID97", 121, "knob-tavrin-normal-97.png", 97, false},
    {"KNOB_ID127_FC", 122, "knob-tavrin-normal-fc.png", 128, false},
    {"KNOB_ID127", 123, "knob-tavrin-normal.png", 128, false},
    {"BUTTON_LIB_DISCARD_ID", 204, "btn-lib-discard-edit.png", 1, true},
    {"BUTTON_LIB_CANCEL_ID", 205, "btn-cancel-request.png", 1, true},
    {"PROGRESS_INDICATOR_ID", 118, "overlayer.png", 1, true},
    {"BUTTON_LOCK_WHITE_ID", 200, "btn-lock-white.png", 2, false},
    {"BUTTON_LOCK_BLACK_ID", 199, "btn-lock-black.png", 2, false},
    {"BG_RENAME_ID", 326, "newNameBG.png", 1, true},
    {"BTN_18x18_ID", 332, "btn-18x18.png", 1, true},
    {"BTN_127x18_ID", 258, "btn-127x18.png", 1, true},
    {"BTN_RADIO_ARP_ID", 140, "event-radio.png", 2, true},
    {"KNOB_PERCENTAGE_ID", 141, "time-slider.png", 4, false},
    {"BTN_ON_OFF_ARP_ID", 142, "on-off-button.png", 2, false},
    {"BG_ABOUT_ID", 400, "about-Tavrin.png", 1, true},
    {"BTN_EXIT_ABOUT_ID", 401, "about-exit.png", 1, true},
    {"BTN_SEE_ABOUT_ID", 402, "about-trigger.png", 1, true},
    {"BG_FIRST_RUN_ID", 403, "first-run-Tavrin.png", 1, true},
    {"BTN_EXIT_FIRST_RUN_ID", 404, "first-run-exit.png", 1, true},
    {"BG_ID_MIDI_FILTERS", 418, "advanced-midi-filters.png", 1, true},
    {"BTN_CHECKBOX_ID", 419, "checkbox-button.png", 2, false},
    {"BUTTON_BANK_SEARCH_ID", 999, "btn-search.png", 2, false},
    {"BG_SEARCH_FIELD_ID", 998, "bg-librarian-search-field.png", 1, true},
    {"BG_ID_MAIN", 500, "main-bg-black.png", 1, true},
    {"LED_SINGLE_ID", 129, "singleledred.png", 2, false},
    {"LED_FEM_ID", 130, "led-fem.png", 5, false},
    {"LED_QUAD_ID", 131, "quadledred.png", 4, false},
    {"LED_TEN_ID", 132, "led-ten.png", 10, false},
    {"LED_SEVEN_ID", 138, "led-seven.png", 7, false},
    {"LED_SEVEN_PROT_ID", 139, "led-seven-protect.png", 1, true},
    {"LED_SINGLE_PROT_ID", 133, "single-led-protector.png", 1, true},
    {"LED_FEM_PROT_ID", 134, "led-fem-protect.png", 1, true},
    {"LED_TEN_PROT_ID", 135, "led-ten-protect.png", 1, true},
    {"LED_QUAD_PROT_ID", 136, "quad-led-protector.png", 1, true},
    {"LED_SINGLE_G_ID", 137, "singleledgreen.png", 2, false},
    {"BG_ID_ARPEGGIATOR", 107, "layer-arp-mod-matrix.png", 1, true},
    {"BG_ARP_KNOB_ID", 115, "tempo-knob-layer.png", 1, true},
    {"BG_ARP_SYNC_ID", 116, "tempo-sync-layer.png", 1, true},
    {"BTN_OFFON_ID", 316, "btn-lib-display-categories.png", 2, false},
    {"BG_ID_CATEGORY_FILTER", 317, "categoryFilterBG.png", 1, true},
    {"BG_EVENT_OVERLAYER", 144, "event-overlayer.png", 1, true},
    {"BG_ID_KEYTRACK", 318, "bg_keytrack.png", 1, true},
    {"BG_ID_UNISON", 319, "bg_unison_detune.png", 1, true},
    {"BG_ID_ENV_FADE", 320, "bg_vca_env_fade.png", 1, true},
    {"BG_LFO1_CLOCK", 321, "clockedBG.png", 1, true},
    {"BG_TEMPO_KNOB", 322, "tempoKnobBG.png", 1, true},
    {"BG_TEMPO_CLOCK", 323, "arpClockBG.png", 1, true},
    {"BUTTON_BANK_OVERWRITE_ID", 996, "btn-overwrite-slot.png", 1, true},
    {"BUTTON_SML_LED_ID", 304, "button-small-led.png", 2, false},
    {"BUTTON_SMALL_ID", 305, "button-small.png", 2, false},
    {"BTN_RELEASE_ALL_LOCKS", 143, "release-all-locks.png", 1, true},
};

}  // namespace uiconfig
