#include "shell/StringTable.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <iterator>

namespace shell {

namespace {

struct Entry {
    unsigned id;
    const char* text;
};

// Sorted by id, so look-ups can search.
constexpr Entry kStrings[] = {
    {IDS_LOADING, "Loading..."},
    {IDS_CREATING_MAIN_FRAME, "Creating Main Frame..."},
    {IDS_CREATING_MAIN_MENU, "Creating Main Menu..."},
    {IDS_TIP_PREVIOUS_TRACK, "Previous Track"},
    {IDS_TIP_BACKWARD, "Backward"},
    {IDS_TIP_PLAY, "Play"},
    {IDS_TIP_PAUSE, "Pause"},
    {IDS_TIP_STOP, "Stop"},
    {IDS_TIP_FORWARD, "Forward"},
    {IDS_TIP_NEXT_TRACK, "Next Track"},
    {IDS_TIP_RECORD, "Record"},
    {IDS_TIP_SHUFFLE, "Shuffle"},
    {IDS_TIP_REPEAT, "Repeat"},
    {IDS_TIP_SHOW_PLAYER, "Show/Hide Player"},
    {IDS_TIP_ADVERT, "Visit the Sonvara web site"},
    {IDS_TIP_POSITION, "Position"},
    {IDS_TIP_VOLUME, "Volume"},
    {IDS_TIP_BALANCE, "Balance"},
    {IDS_TIP_EQUALIZER, "Equalizer"},
    {IDS_TIP_SHOW_SURROUND, "Show Zuzuvezizu"},
    {IDS_TIP_SURROUND_VIEW, "Zuzuvezizu View"},
    {IDS_TIP_EQUALIZER_TURN, "Equalizer On/Off"},
    {IDS_TIP_EQUALIZER_PRESETS, "Equalizer Presets"},
    {IDS_TIP_STATUS_BAR, "Status bar"},
    {IDS_TIP_TV_SCREEN, "TV screen"},
    {IDS_TIP_MINIMIZE, "Minimize"},
    {IDS_TIP_MAXIMIZE, "Maximize"},
    {IDS_TIP_CLOSE, "Close"},
    {IDS_PRODUCT_NAME, "Sonvara"},
    {IDS_CREATING_SKIN_ELEMENTS, "Creating Skin Elements..."},
    {IDS_LOADING_EFFECTS, "Loading Effects..."},
    {IDS_LOADING_ADVERTS, "Loading Advertisings..."},
    {IDS_LOADING_MODULES, "Loading Modules..."},
    {IDS_LOADING_SKIN, "Loading Skin..."},
    {IDS_INITIALIZING_FRAME_STATE, "Initializing Main Frame State..."},
    {IDS_READY, "Ready"},
    {IDS_LOADED_SUCCESSFULLY, "%s, version %s loaded successfully."},
    {IDS_TIP_RESTORE, "Restore"},
    {IDS_MENU_VOICE_MORPHING, "&Voice Morphing"},
    {IDS_MENU_MORPH, "&Morph"},
    {IDS_MENU_SINGLE_EFFECTS, "Single Effects"},
    {IDS_MENU_SPECIAL_EFFECTS, "&Special Effects"},
    {IDS_MENU_WINDOW, "&Window"},
    {IDS_MENU_HELP, "&Help"},
    {IDS_MENU_SMART_UPDATES, "Smart Updates"},
    {IDS_MENU_NONE_ACCEL, "&none"},
    {IDS_MENU_NONE, "none"},
    {IDS_NO_SURROUND_MODES,
     "Your sound card does not support any surround modes. Zuzuvezizu will be disabled."},
    {IDS_LANGUAGE_RESTART, "Changing language need program restart.\n\nDo you want restart now?"},
};

constexpr auto kIds = [] {
    std::array<unsigned, std::size(kStrings)> ids{};
    for (std::size_t i = 0; i < ids.size(); ++i)
        ids[i] = kStrings[i].id;
    return ids;
}();

static_assert(std::is_sorted(kIds.begin(), kIds.end()));

std::atomic<StringTranslator> g_translator{nullptr};

} // namespace

const char* BuiltInString(unsigned id) {
    auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                               [](const Entry& e, unsigned v) { return e.id < v; });
    return (it != std::end(kStrings) && it->id == id) ? it->text : nullptr;
}

void SetStringTranslator(StringTranslator translator) {
    g_translator.store(translator);
}

std::string LoadString(unsigned id) {
    if (StringTranslator translate = g_translator.load()) {
        // Texts of the host are short; a longer translation is cut here
        // rather than trusted to size its own buffer.
        char buffer[1024] = {};
        int n = translate(id, buffer, static_cast<int>(sizeof buffer));
        if (n > 0) {
            buffer[sizeof buffer - 1] = '\0';
            return buffer;
        }
    }
    const char* text = BuiltInString(id);
    return text ? text : "";
}

const unsigned* BuiltInStringIds(std::size_t* count) {
    if (count) *count = kIds.size();
    return kIds.data();
}

} // namespace shell
