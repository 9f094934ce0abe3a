// The skin interface offered to modules: skin colours, skinned controls over
// a module's own widgets, and toolbar images named in the skin.
//
// Slot order is fixed (modules are built against it). Window thread only.
#pragma once

#include <cstdint>

class QImage;
class QWidget;

class ISkin {
public:
    // Colour 0x00BBGGRR of the skin for the index.
    virtual std::uint32_t GetColor(int index) = 0;
    // Dresses the widget and all its descendants in skinned look, chosen by
    // each widget's kind (label, dialog, slider, combo box, line edit,
    // button). Always true.
    virtual bool SkinWindow(QWidget* window, bool flag) = 0;
    // A new image of the frame of the module's toolbar strip named by key
    // (case ignored), owned by the caller (delete it); null when the skin
    // names no such strip, the file is missing or the frame does not exist.
    virtual QImage* GetModuleToolbarBitmap(const char* moduleName, const char* key,
                                           unsigned frame) = 0;

protected:
    ~ISkin() = default;
};
