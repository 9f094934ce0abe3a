// sonvara-fx-panel's window on the offscreen platform: the real plug-in's
// panel edits a preset file and Save stores it, or says it could not.
#include "support/TempDir.h"
#include "tools/fxpanel/PresetEditor.h"
#include "xml/XmlNode.h"

#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

int XmlValue(const std::string& file, const char* key) {
    CXmlNode document;
    int value = -1;
    if (document.LoadFromFile(file)) document.GetValue(key, value);
    return value;
}

} // namespace

// The user's whole errand: open a preset, move the threshold, save, and find
// the new value in the file; a save that cannot land says so and keeps the
// file as it was.
TEST(FxPanel, EditsAndSavesAPresetFile) {
    testsupport::TempDir dir;
    const std::string xml = dir.file("voice.xml");
    fxpanel::PanelOptions options;
    options.plugin = STAVO_PLUGIN_PATH;
    options.preset = xml;
    std::string error;
    auto editor = fxpanel::CPresetEditor::Open(options, error);
    ASSERT_TRUE(editor) << error;
    editor->show();
    auto* threshold = editor->Panel()->findChild<QSlider*>("31902");
    ASSERT_NE(threshold, nullptr);
    EXPECT_EQ(threshold->value(), 10); // a new file starts from the defaults
    threshold->setFocus();
    QTest::keyClick(threshold, Qt::Key_End);
    QTest::mouseClick(editor->findChild<QPushButton*>("Save"), Qt::LeftButton);
    EXPECT_TRUE(editor->Status().startsWith("Saved")) << editor->Status().toStdString();
    EXPECT_EQ(XmlValue(xml, "Threshold"), 60);
    EXPECT_EQ(XmlValue(xml, "Speed"), 10); // the slider's lowest position, 2 × 5

    // Reopened, the panel shows what was saved.
    editor.reset();
    editor = fxpanel::CPresetEditor::Open(options, error);
    ASSERT_TRUE(editor) << error;
    EXPECT_EQ(editor->Panel()->findChild<QSlider*>("31902")->value(), 60);

    // An INI preset in a folder that does not exist cannot be saved.
    options.preset = dir.file("gone/voice.ini");
    options.section = "Voice";
    editor = fxpanel::CPresetEditor::Open(options, error);
    ASSERT_TRUE(editor) << error;
    EXPECT_FALSE(editor->Save());
    EXPECT_TRUE(editor->Status().startsWith("Could not save")) << editor->Status().toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir.file("gone")));
}

TEST(FxPanel, CommandLineNeedsOnePresetAndASectionForIni) {
    fxpanel::PanelOptions options;
    std::string error;
    EXPECT_FALSE(fxpanel::ParsePanelOptions({}, options, error));
    EXPECT_FALSE(fxpanel::ParsePanelOptions({"p.ini"}, options, error));
    EXPECT_EQ(error, "an INI preset needs --section NAME");
    options = {};
    EXPECT_TRUE(fxpanel::ParsePanelOptions({"--section", "A", "p.ini"}, options, error));
    EXPECT_EQ(options.section, "A");
}
