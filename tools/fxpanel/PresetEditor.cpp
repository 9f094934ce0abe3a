#include "tools/fxpanel/PresetEditor.h"

#include "platform/Paths.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <filesystem>

namespace fxpanel {

namespace {

bool EndsWithIni(const std::string& path) {
    const std::string ext = std::filesystem::path(path).extension().string();
    return ext.size() == 4 && (ext == ".ini" || ext == ".INI" || ext == ".Ini");
}

} // namespace

bool ParsePanelOptions(const std::vector<std::string>& args, PanelOptions& options,
                       std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--plugin" || arg == "--section") {
            if (i + 1 >= args.size()) {
                error = "option '" + arg + "' needs a value";
                return false;
            }
            (arg == "--plugin" ? options.plugin : options.section) = args[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option '" + arg + "'";
            return false;
        } else if (options.preset.empty()) {
            options.preset = arg;
        } else {
            error = "one preset file at a time (from '" + arg + "' on)";
            return false;
        }
    }
    if (options.help) return true;
    if (options.preset.empty()) {
        error = "missing the PRESET file";
        return false;
    }
    if (EndsWithIni(options.preset) && options.section.empty()) {
        error = "an INI preset needs --section NAME";
        return false;
    }
    return true;
}

std::unique_ptr<CPresetEditor> CPresetEditor::Open(const PanelOptions& options,
                                                   std::string& error) {
    std::unique_ptr<CPresetEditor> editor(new CPresetEditor);
    editor->m_options = options;
    const std::string pluginPath =
        options.plugin.empty()
            ? platform::JoinPath(platform::ProgramDirectory(), "Effects/StavoModulation.so")
            : options.plugin;
    if (!editor->m_plugin.Load(pluginPath, error)) return nullptr;
    const fx::PluginExports& e = editor->m_plugin.Exports();
    if (!e.CreateSettingsWindow) {
        error = editor->m_plugin.Name() + " has no settings panel (no export CreateSettingsWindow)";
        return nullptr;
    }

    std::error_code ec;
    const bool exists = std::filesystem::exists(options.preset, ec);
    if (editor->IsIni()) {
        editor->m_instance =
            fx::CreateFromIni(editor->m_plugin, options.preset, options.section, error);
    } else {
        editor->m_document = std::make_unique<CXmlNode>("Preset");
        if (exists && !editor->m_document->LoadFromFile(options.preset, &error)) {
            error = "cannot read the preset file \"" + options.preset + "\": " + error;
            return nullptr;
        }
        editor->m_instance = fx::CreateFromXml(editor->m_plugin, *editor->m_document, error);
    }
    if (!editor->m_instance) return nullptr;
    editor->Build();
    if (!editor->m_panel) {
        error = "the plug-in could not open its settings panel";
        return nullptr;
    }
    return editor;
}

CPresetEditor::~CPresetEditor() {
    // The panel edits the instance: it goes first, and so do the commands it
    // posted here, before the instance and the plug-in library go.
    delete m_panel;
    m_panel = nullptr;
    QCoreApplication::removePostedEvents(this);
}

bool CPresetEditor::IsIni() const {
    return EndsWithIni(m_options.preset);
}

void CPresetEditor::Build() {
    setWindowTitle(QString::fromStdString(m_plugin.Name() + " - " + m_options.preset));
    auto* layout = new QVBoxLayout(this);
    m_panel =
        static_cast<QWidget*>(m_plugin.Exports().CreateSettingsWindow(this, m_instance.get()));
    if (!m_panel) return;
    layout->addWidget(m_panel, 0, Qt::AlignHCenter);
    m_status = new QLabel(this);
    layout->addWidget(m_status);
    auto* buttons = new QHBoxLayout;
    auto* save = new QPushButton(tr("Save"), this);
    save->setObjectName("Save");
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName("Close");
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(save, &QPushButton::clicked, this, [this] { Save(); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

bool CPresetEditor::Save() {
    const fx::PluginExports& e = m_plugin.Exports();
    std::string error;
    bool ok = false;
    if (IsIni()) {
        ok = e.SavePreset && e.SavePreset(m_options.preset.c_str(), m_options.section.c_str(),
                                          nullptr, m_instance.get());
    } else {
        ok = e.SavePresetXml && e.SavePresetXml(m_document.get(), m_instance.get()) &&
             m_document->SaveToFile(m_options.preset, &error);
    }
    m_status->setText(ok ? tr("Saved to %1").arg(QString::fromStdString(m_options.preset))
                         : tr("Could not save to %1%2")
                               .arg(QString::fromStdString(m_options.preset),
                                    QString::fromStdString(error.empty() ? "" : ": " + error)));
    return ok;
}

QString CPresetEditor::Status() const {
    return m_status ? m_status->text() : QString();
}

} // namespace fxpanel
