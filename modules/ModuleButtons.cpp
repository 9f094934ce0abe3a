#include "modules/ModuleButtons.h"

#include "modules/ModuleHost.h"
#include "modules/ModulesFrame.h"
#include "platform/AsciiCase.h"
#include "sonvara/Messages.h"
#include "ui/FrameControls.h"
#include "xml/XmlNode.h"

#include <string>
#include <vector>

namespace modules {

namespace {

// The skin's button for every module it does not give a button of its own.
constexpr const char* kOtherModulesElement = "OtherModules";
constexpr const char* kModuleButtonElement = "ModuleButton";

int IntAttribute(const CXmlNode& element, const char* name) {
    int value = 0;
    element.GetAttribute(name, value);
    return value;
}

} // namespace

void RebuildModuleButtons(CModuleHost& host, ui::CFrameControls& controls, QWidget* frame,
                          const CXmlNode* modulesElement) {
    // The previous buttons went with the previous controls.
    for (std::size_t i = 0; i < host.Count(); ++i)
        host.SetModuleButton(i, nullptr);

    std::vector<const CXmlNode*> elements;
    std::vector<std::string> names;
    const CXmlNode* others = nullptr;
    for (const CXmlNode* child = modulesElement ? modulesElement->GetFirstChild() : nullptr; child;
         child = child->GetNextSibling()) {
        if (platform::EqualNoCase(child->GetName(), kOtherModulesElement)) {
            if (!others) others = child->FindChild(kModuleButtonElement);
            continue;
        }
        std::string name;
        child->GetAttribute("Name", name);
        elements.push_back(child);
        names.push_back(name);
    }
    const std::vector<int> ids = host.ApplySkinOrder(names);

    auto makeButton = [&host, frame](int id) {
        return new CModuleButton(frame, id, [&host](int index) {
            // Only while the drag goes on over an inactive module's button.
            CModuleEntry* active = host.GetActiveModule();
            if (!active || index < 0 || static_cast<std::size_t>(index) >= host.Count() ||
                &host.Entry(static_cast<std::size_t>(index)) != active)
                host.ActivateModule(index);
        });
    };
    // Which modules have a button a user can see.
    std::vector<bool> shown(host.Count(), false);
    for (std::size_t i = 0; i < elements.size(); ++i) {
        CModuleButton* button = makeButton(ids[i]);
        std::string text; // the module's display name; none without a module
        std::size_t index = 0;
        if (ids[i] >= 0) {
            index = static_cast<std::size_t>(ids[i]) - sonvara::ID_MODULE_FIRST;
            text = host.Entry(index).Name;
        }
        const CXmlNode* look = elements[i]->FindChild(kModuleButtonElement);
        const bool placed = look && controls.DressModuleButton(button, *look, text);
        if (!placed) button->hide();
        if (ids[i] >= 0) {
            host.SetModuleButton(index, button);
            button->setChecked(host.Entry(index).Active != 0);
            shown[index] = placed;
        }
        controls.AddModuleButton({ids[i], text, text, button});
    }

    // Every other module gets the skin's button for others, each one step
    // further along: modules that come from elsewhere stay reachable.
    if (others) {
        const int stepX = IntAttribute(*others, "StepX");
        const int stepY = IntAttribute(*others, "StepY");
        int slot = 0;
        for (std::size_t index = 0; index < host.Count(); ++index) {
            if (shown[index]) continue;
            CModuleEntry& entry = host.Entry(index);
            const int id = static_cast<int>(sonvara::ID_MODULE_FIRST + index);
            // A module the skin names without a usable button keeps that
            // button (and its row); it only gets the look for others.
            auto* button = dynamic_cast<CModuleButton*>(entry.Button);
            const bool fresh = button == nullptr;
            if (fresh) button = makeButton(id);
            if (controls.DressModuleButton(button, *others, entry.Name, stepX * slot, stepY * slot))
                ++slot;
            else
                button->hide();
            host.SetModuleButton(index, button);
            button->setChecked(entry.Active != 0);
            if (fresh) controls.AddModuleButton({id, entry.Name, entry.Name, button});
        }
    }
    host.RefreshModuleMenus();
}

} // namespace modules
