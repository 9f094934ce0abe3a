#include "ui/library/LibraryDlg.h"

#include "libs/veneer/DialogUnits.h"
#include "platform/Paths.h"
#include "ui/library/LibraryFiles.h"

namespace ui {

namespace {

constexpr int kElementRole = Qt::UserRole;

void AddItems(const std::vector<SLibraryItem>& items, QTreeWidgetItem* parent,
              veneer::CSCTreeCtrl* tree) {
    for (const SLibraryItem& item : items) {
        auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
        // Paths are bytes; a line that is not UTF-8 shows replacement marks
        // but is handed back unchanged.
        node->setText(
            0, QString::fromUtf8(item.text.data(), static_cast<qsizetype>(item.text.size())));
        node->setData(0, kElementRole,
                      QVariant::fromValue(reinterpret_cast<quintptr>(item.element)));
        AddItems(item.children, node, tree);
    }
}

} // namespace

CLibraryDlg::CLibraryDlg(QWidget* parent, const std::string& folder)
    : veneer::CSCScaleDialog(kTemplateId, parent) {
    setWindowTitle(QStringLiteral("Library"));
    veneer::ApplySkinPalette(this);
    setAutoFillBackground(true);
    resize(veneer::MapDialogRect(this, QRect(0, 0, 350, 305)).size());

    m_tree = new veneer::CSCTreeCtrl(this);
    m_tree->setProperty("controlId", kTreeId);
    m_tree->SetTreeStyle(veneer::CSCTreeCtrl::kHasButtons | veneer::CSCTreeCtrl::kHasLines |
                         veneer::CSCTreeCtrl::kLinesAtRoot);
    m_tree->setGeometry(veneer::MapDialogRect(this, QRect(7, 7, 336, 291)));
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this] { OnTreeDoubleClick(); });

    OnInitDialog(folder.empty() ? LibraryFolder() : folder);
}

void CLibraryDlg::OnInitDialog(const std::string& folder) {
    if (!ReadFileDatabase(platform::JoinPath(folder, "fileDB.dat"), m_files)) {
        auto* note = new QTreeWidgetItem(m_tree);
        note->setText(0, QStringLiteral("No music library yet: play some music first."));
        note->setFlags(Qt::ItemIsEnabled);
        return;
    }
    if (!m_playlists.LoadFromFile(platform::JoinPath(folder, "playlists.xml"))) return;
    AddItems(BuildLibraryTree(m_playlists, m_files), nullptr, m_tree);
}

void CLibraryDlg::OnTreeDoubleClick() {
    const QTreeWidgetItem* item = m_tree->currentItem();
    if (!item) return;
    const auto* element =
        reinterpret_cast<const CXmlNode*>(item->data(0, kElementRole).value<quintptr>());
    if (!element) return;
    m_result = FilesOfElement(*element, m_files);
    done(0);
}

} // namespace ui
