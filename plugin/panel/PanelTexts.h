// The panel's texts, translated by the language library the user chose.
//
// Language.xml in the current folder names the library in its root's "Path"
// attribute; when the file, the attribute or the library is missing, or the
// library has no translation for a text, the built-in English text is shown.
// The library is loaded once, at the first panel, and stays loaded.
#pragma once

#include <QString>

namespace stavo {

// Loads the language library of Language.xml, once; later calls do nothing.
void LoadPanelLanguage();

// The translation of the text with this control (or dialog) id, else english.
QString PanelText(int id, const char* english);

} // namespace stavo
