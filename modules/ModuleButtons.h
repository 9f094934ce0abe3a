// The module buttons of the main frame, rebuilt with the other skinned
// controls whenever a skin is applied (the frame's
// ui::IFrameSite::RebuildModuleButtons calls this).
#pragma once

class CXmlNode;
class QWidget;

namespace ui {
class CFrameControls;
}

namespace modules {

class CModuleHost;

// For every child of the skin's Modules element (null: none), in document
// order, a CModuleButton named by its Name attribute is made, dressed and
// placed by the child's ModuleButton element (tooltip: the module's display
// name) and handed to controls (which sends its command when clicked). A
// child named OtherModules is no module: its ModuleButton (with StepX and
// StepY) dresses a button for every loaded module left without one, in table
// order, each one step further along.
// The module table is first sorted into the skin's order, so each button's
// id is 236 + its module's new index; a name without a module gives a
// disabled button. Every module's menu is then fetched again, and the
// active module's button is pressed. Dragging over a button activates its
// module.
void RebuildModuleButtons(CModuleHost& host, ui::CFrameControls& controls, QWidget* frame,
                          const CXmlNode* modulesElement);

} // namespace modules
