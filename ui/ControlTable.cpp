#include "ui/ControlTable.h"

#include <cstring>

#include "platform/AsciiCase.h"

namespace ui {

const int kPlayerControlIds[12] = {33000, 33005, 33010, 33015, 33020, 33025,
                                   33030, 33035, 33040, 14030, 14020, 14010};

namespace {
struct SRowDef {
    const char* name;
    int id;
    int kind;
    int stringId;
};

// The fixed table, in its order. The string ids name the texts of the host's
// string table (tooltip and status text alike).
const SRowDef kRows[] = {
    {"PLAYER_GOTOPREV", 33000, kKindPushButton, 275},
    {"PLAYER_BACKWARD", 33005, kKindPushButton, 276},
    {"PLAYER_PLAY", 33010, kKindPushButton, 277},
    {"PLAYER_PAUSE", 33015, kKindPushButton, 278},
    {"PLAYER_STOP", 33020, kKindPushButton, 279},
    {"PLAYER_FORWARD", 33025, kKindPushButton, 280},
    {"PLAYER_GOTONEXT", 33030, kKindPushButton, 281},
    {"PLAYER_RECORD", 33090, kKindPushButton, 282},
    {"PLAYER_SHUFFLE", 33035, kKindCheckButton, 283},
    {"PLAYER_REPEAT", 33040, kKindCheckButton, 284},
    {"PLAYER_SHOW", 14060, kKindCheckButton, 286},
    {"ADVERT_STRING", 14110, kKindScrollText, 289},
    {"PLAYER_POSITION", 14010, kKindSlider, 290},
    {"PLAYER_VOLUME", 14020, kKindSlider, 291},
    {"PLAYER_BALANCE", 14030, kKindSlider, 292},
    {"EQUA_SLIDER1", 16000, kKindVertSlider, 293},
    {"EQUA_SLIDER2", 16010, kKindVertSlider, 293},
    {"EQUA_SLIDER3", 16020, kKindVertSlider, 293},
    {"EQUA_SLIDER4", 16030, kKindVertSlider, 293},
    {"EQUA_SLIDER5", 16040, kKindVertSlider, 293},
    {"EQUA_SLIDER6", 16050, kKindVertSlider, 293},
    {"EQUA_SLIDER7", 16060, kKindVertSlider, 293},
    {"EQUA_SLIDER8", 16070, kKindVertSlider, 293},
    {"EQUA_SLIDER9", 16080, kKindVertSlider, 293},
    {"EQUA_SLIDER10", 16090, kKindVertSlider, 293},
    {"SURR_SHOW", 16135, kKindCheckButton, 294},
    {"SURR_VIEW", 16125, kKindSurroundView, 295},
    {"EQUA_TURN", 14040, kKindCheckButton, 296},
    {"EQUA_PRESET", 14050, kKindPushButton, 297},
    {"STATUS_BAR", 14120, kKindText, 298},
    {"TVSCREEN", 14130, kKindTvScreen, 299},
    {"MENU_FILE", 15000, kKindPushButton, 0},
    {"MENU_EDIT", 15010, kKindPushButton, 0},
    {"MENU_VIEW", 15020, kKindPushButton, 0},
    {"MENU_PLAY", 15030, kKindPushButton, 0},
    {"MENU_MORPH", 15040, kKindPushButton, 0},
    {"MENU_WINDOW", 15050, kKindPushButton, 0},
    {"MENU_HELP", 15060, kKindPushButton, 0},
    {"FRAME_MINI", 34070, kKindPushButton, 300},
    {"FRAME_ZOOM", 34080, kKindPushButton, 301},
    {"FRAME_CLOSE", 34090, kKindPushButton, 302},
};
static_assert(sizeof(kRows) / sizeof(kRows[0]) == 41, "the control table has 41 rows");
} // namespace

CControlTable::CControlTable() {
    m_rows.reserve(41);
    for (const SRowDef& def : kRows) {
        SControlRow row;
        row.kind = def.kind;
        row.id = def.id;
        row.name = def.name;
        row.stringId = def.stringId;
        m_rows.push_back(std::move(row));
    }
}

SControlRow* CControlTable::FindRowByName(const std::string& name) {
    for (SControlRow& row : m_rows)
        if (platform::EqualNoCase(name, row.name)) return &row;
    return nullptr;
}

SControlRow* CControlTable::FindRow(int rowId) {
    for (SControlRow& row : m_rows)
        if (row.id == rowId) return &row;
    return nullptr;
}

const SControlRow* CControlTable::FindRow(int rowId) const {
    return const_cast<CControlTable*>(this)->FindRow(rowId);
}

std::string CControlTable::CutText(const std::string& text) {
    // Count characters, not bytes, so a translated text is never cut inside
    // a multi-byte character.
    int chars = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (chars == kMaxRowText) return text.substr(0, i);
        std::size_t step = 1;
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0xF0)
            step = 4;
        else if (c >= 0xE0)
            step = 3;
        else if (c >= 0xC0)
            step = 2;
        i += step;
        ++chars;
    }
    return text;
}

int CControlTable::AddInstance(SControlRow& row, veneer::CSkinBase* control) {
    const int id = row.id + static_cast<int>(row.instances.size()) + 1;
    row.instances.insert(row.instances.begin(), SInstance{id, control});
    return id;
}

veneer::CSkinBase* CControlTable::FindControlById(int instanceId) const {
    for (const SControlRow& row : m_rows)
        for (const SInstance& inst : row.instances)
            if (inst.id == instanceId) return inst.control;
    return nullptr;
}

int CControlTable::FindRowIdByInstanceId(int instanceId) const {
    for (const SControlRow& row : m_rows)
        for (const SInstance& inst : row.instances)
            if (inst.id == instanceId) return row.id;
    return 0;
}

std::vector<veneer::CSkinBase*> CControlTable::Controls(int rowId) const {
    std::vector<veneer::CSkinBase*> out;
    if (const SControlRow* row = FindRow(rowId))
        for (const SInstance& inst : row->instances)
            out.push_back(inst.control);
    return out;
}

int ResolveKind(int rowKind, const char* typeAttribute) {
    if (rowKind != kKindSlider) return rowKind;
    if (!typeAttribute) return 0;
    if (std::strcmp(typeAttribute, "Vertical") == 0) return kKindVertSlider;
    if (std::strcmp(typeAttribute, "Horizontal") == 0) return kKindHorzSlider;
    if (std::strcmp(typeAttribute, "Round") == 0) return kKindRoundSlider;
    return 0;
}

} // namespace ui
