// The music library dialog: the user's playlists as a tree; a double-click
// on a playlist closes the dialog with that playlist's files, in order. A
// module opens it through IApplication::SelectLibraryFiles.
//
// The files come from ui::LibraryFolder() (see LibraryFiles.h). Without a
// fileDB.dat the tree holds one line saying so, which does nothing when
// double-clicked. Window thread only.
#pragma once

#include "libs/veneer/Controls.h"
#include "xml/XmlNode.h"

#include <string>
#include <vector>

namespace ui {

class CLibraryDlg : public veneer::CSCScaleDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 206;
    static constexpr int kTreeId = 361;

    // folder: where fileDB.dat and playlists.xml are read; empty for
    // LibraryFolder().
    explicit CLibraryDlg(QWidget* parent, const std::string& folder = {});

    veneer::CSCTreeCtrl* Tree() const { return m_tree; }
    // The chosen files after the dialog closed; empty when the user chose
    // none.
    const std::vector<std::string>& Result() const { return m_result; }

private:
    void OnInitDialog(const std::string& folder);
    void OnTreeDoubleClick();

    veneer::CSCTreeCtrl* m_tree = nullptr;
    std::vector<std::string> m_files;
    std::vector<std::string> m_result;
    CXmlNode m_playlists;
};

} // namespace ui
