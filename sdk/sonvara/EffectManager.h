// The host's effect manager as a module sees it: the table of effects the
// host found (the flat-export plug-ins of its Effects folder and the effects
// it ships), and effect objects made from the table. The same manager fills
// the frame menu's "&Voice Morphing" and "&Special Effects" submenus, so a
// module that applies the effect behind menu command 30001 + identifier
// creates it with CreateEffect(identifier).
//
// A module gets the manager from IQueryInterface::GetEffectManager (null
// from a host without one). The manager lives as long as the host's main
// frame; effect objects belong to whoever created them and are deleted with
// delete. Window thread only, except CSimpleEffect::ProcessStream (below).
//
// Slot orders are fixed: modules are built against them.
#pragma once

#include "sonvara/StreamBuffer.h"
#include "sonvara/WaveFormat.h"

#include <cstdint>
#include <string>
#include <vector>

class CXmlNode;
struct EffectInstance;

// Effect types of the table.
inline constexpr int kEffectTypeSpecial = 0;       // "&Special Effects"
inline constexpr int kEffectTypeVoiceMorphing = 1; // "&Voice Morphing"

// One effect, ready to process a stream. Calling order as for an effect
// plug-in (sonvara/EffectPlugin.h): SetStreamCallBack, OpenStream,
// ProcessStream repeatedly, CloseStream; presets and the settings window at
// any time. ProcessStream runs on the caller's audio thread and allocates
// nothing; no two threads may drive one object at once.
class CSimpleEffect {
public:
    virtual ~CSimpleEffect() = default;
    // The identifier of its table entry and its type.
    virtual std::uint32_t GetID() = 0;
    virtual int GetEffectType() = 0;
    // The input, pulled by ProcessStream. Non-zero on success.
    virtual int SetStreamCallBack(StreamCallback callback, void* user) = 0;
    // 0 when open; non-zero when the format is refused.
    virtual int OpenStream(const WAVEFORMATEX* format) = 0;
    // The name shown in menus; owned by the effect, valid while it lives.
    virtual const char* GetDisplayName() = 0;
    // Frames of output in every channel array; 0 when the stream finished.
    virtual std::uint32_t ProcessStream(StreamBuffer* buffer) = 0;
    virtual int CloseStream() = 0;
    // Settings from / to a section of an INI file or an XML node. Loading
    // replaces every setting (those absent take their defaults) and needs a
    // closed stream. Non-zero on success.
    virtual int LoadPreset(const char* iniFile, const char* section) = 0;
    virtual int SavePreset(const char* iniFile, const char* section) = 0;
    virtual int LoadPresetXml(CXmlNode* node) = 0;
    virtual int SavePresetXml(CXmlNode* node) = 0;
    // The effect's settings panel as a child of parent (both QWidget*); null
    // when the effect has none. The panel belongs to its parent and must be
    // destroyed before the effect.
    virtual void* CreateSettingsWindow(void* parent) = 0;
    // The maker's name; owned by the effect.
    virtual const char* GetVendor() = 0;
    // The plug-in's own instance behind this object, or null for an effect
    // that is not a plug-in.
    virtual EffectInstance* GetInstance() = 0;
    // What the effect offers to choose from (for a special effect: its
    // variants); an effect that offers nothing leaves the list empty and is
    // not listed under "&Special Effects". Non-zero when it filled the list.
    virtual int GetStringList(std::vector<std::string>* list) = 0;
};

// One entry of the table, as a module reads it.
struct SvEffectDescription {
    std::uint32_t identifier = 0; // menu command 30001 + identifier
    int type = kEffectTypeSpecial;
    std::string name;   // the plug-in's name
    std::string vendor; // the plug-in's maker
};

class IEffectManager {
public:
    // Entries in table order (the menus' order).
    virtual int GetEffectCount() = 0;
    // Fills *description for the entry at index; 0 for an index out of range.
    virtual int GetEffectDescription(int index, SvEffectDescription* description) = 0;
    // A new effect of the entry with this identifier, owned by the caller;
    // null for an unknown identifier or when the effect cannot be made.
    virtual CSimpleEffect* CreateEffect(std::uint32_t identifier) = 0;

protected:
    ~IEffectManager() = default;
};
