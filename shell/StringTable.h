// The host's user-visible texts, by resource id. Every text has an English
// built-in; a language library that exports GetLanguageString (see
// shell/LanguageLibrary.h) may supply a translation, which wins when it is
// not empty.
//
// Thread safe: LoadString may be called from any thread (status texts are
// set from worker threads). The translator is installed once at start-up.
#pragma once

#include <string>

namespace shell {

// Ids of the texts the host itself shows. The numbers are stable: language
// libraries translate by them.
enum StringId : unsigned {
    IDS_LOADING = 266,
    IDS_CREATING_MAIN_FRAME = 267,
    IDS_CREATING_MAIN_MENU = 268,
    // Tooltips and status texts of the main frame's skinned controls.
    IDS_TIP_PREVIOUS_TRACK = 275,
    IDS_TIP_BACKWARD = 276,
    IDS_TIP_PLAY = 277,
    IDS_TIP_PAUSE = 278,
    IDS_TIP_STOP = 279,
    IDS_TIP_FORWARD = 280,
    IDS_TIP_NEXT_TRACK = 281,
    IDS_TIP_RECORD = 282,
    IDS_TIP_SHUFFLE = 283,
    IDS_TIP_REPEAT = 284,
    IDS_TIP_SHOW_PLAYER = 286,
    IDS_TIP_ADVERT = 289,
    IDS_TIP_POSITION = 290,
    IDS_TIP_VOLUME = 291,
    IDS_TIP_BALANCE = 292,
    IDS_TIP_EQUALIZER = 293,
    IDS_TIP_SHOW_SURROUND = 294,
    IDS_TIP_SURROUND_VIEW = 295,
    IDS_TIP_EQUALIZER_TURN = 296,
    IDS_TIP_EQUALIZER_PRESETS = 297,
    IDS_TIP_STATUS_BAR = 298,
    IDS_TIP_TV_SCREEN = 299,
    IDS_TIP_MINIMIZE = 300,
    IDS_TIP_MAXIMIZE = 301,
    IDS_TIP_CLOSE = 302,
    IDS_PRODUCT_NAME = 305,
    IDS_CREATING_SKIN_ELEMENTS = 306,
    IDS_LOADING_EFFECTS = 308,
    IDS_LOADING_ADVERTS = 309,
    IDS_LOADING_MODULES = 310,
    IDS_LOADING_SKIN = 311,
    IDS_INITIALIZING_FRAME_STATE = 312,
    IDS_READY = 313,
    IDS_LOADED_SUCCESSFULLY = 314,
    IDS_TIP_RESTORE = 315,
    IDS_MENU_VOICE_MORPHING = 316,
    IDS_MENU_MORPH = 317,
    IDS_MENU_SINGLE_EFFECTS = 318,
    IDS_MENU_SPECIAL_EFFECTS = 319,
    IDS_MENU_WINDOW = 322,
    IDS_MENU_HELP = 323,
    IDS_MENU_SMART_UPDATES = 325,
    IDS_MENU_NONE_ACCEL = 326,
    IDS_MENU_NONE = 327,
    IDS_NO_SURROUND_MODES = 333,
    IDS_LANGUAGE_RESTART = 335,
};

// The English built-in text of id, or null when the host has no such text.
const char* BuiltInString(unsigned id);

// Looks a text up in a language library: copies at most size - 1 bytes and a
// NUL into buffer and returns the length, or 0 when it has no translation.
using StringTranslator = int (*)(unsigned id, char* buffer, int size);

// Installs (or, with null, removes) the translator of the chosen language.
void SetStringTranslator(StringTranslator translator);

// The text of id: the translation when there is one, else the built-in
// text, else an empty string.
std::string LoadString(unsigned id);

// The ids LoadString knows, in ascending order (for tests and translators).
const unsigned* BuiltInStringIds(std::size_t* count);

} // namespace shell
