#include "modules/ModuleButtons.h"

#include "modules/ModuleHost.h"
#include "modules/ModulesFrame.h"
#include "sonvara/Messages.h"
#include "ui/FrameControls.h"
#include "xml/XmlNode.h"

#include <string>
#include <vector>

namespace modules {

void RebuildModuleButtons(CModuleHost& host, ui::CFrameControls& controls, QWidget* frame,
                          const CXmlNode* modulesElement) {
    // The previous buttons went with the previous controls.
    for (std::size_t i = 0; i < host.Count(); ++i)
        host.SetModuleButton(i, nullptr);

    std::vector<const CXmlNode*> elements;
    std::vector<std::string> names;
    for (const CXmlNode* child = modulesElement ? modulesElement->GetFirstChild() : nullptr; child;
         child = child->GetNextSibling()) {
        std::string name;
        child->GetAttribute("Name", name);
        elements.push_back(child);
        names.push_back(name);
    }
    const std::vector<int> ids = host.ApplySkinOrder(names);
    for (std::size_t i = 0; i < elements.size(); ++i) {
        auto* button = new CModuleButton(frame, ids[i], [&host](int index) {
            // Only while the drag goes on over an inactive module's button.
            CModuleEntry* active = host.GetActiveModule();
            if (!active || index < 0 || static_cast<std::size_t>(index) >= host.Count() ||
                &host.Entry(static_cast<std::size_t>(index)) != active)
                host.ActivateModule(index);
        });
        button->setAccessibleName(QString::fromStdString(names[i]));
        controls.PlaceControl(button, *elements[i]);
        if (ids[i] >= 0) {
            const auto index = static_cast<std::size_t>(ids[i]) - sonvara::ID_MODULE_FIRST;
            CModuleEntry& entry = host.Entry(index);
            host.SetModuleButton(index, button);
            button->setChecked(entry.Active != 0);
        }
        controls.AddModuleButton({ids[i], names[i], names[i], button});
    }
    host.RefreshModuleMenus();
}

} // namespace modules
