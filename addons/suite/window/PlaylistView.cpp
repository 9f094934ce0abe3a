#include "window/PlaylistView.h"

#include "window/SkinColors.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>
#include <algorithm>

namespace suite {

namespace {

enum Column { kNumber, kTitle, kArtist, kAlbum, kTime, kColumns };
constexpr int kIdRole = Qt::UserRole + 1;

} // namespace

PlaylistView::PlaylistView(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("SuitePlaylist"));
    setColumnCount(kColumns);
    setHeaderLabels({QStringLiteral("#"), QStringLiteral("Title"), QStringLiteral("Artist"),
                     QStringLiteral("Album"), QStringLiteral("Time")});
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAlternatingRowColors(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDefaultDropAction(Qt::MoveAction);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(kTitle, QHeaderView::Stretch);
    header()->setSectionResizeMode(kNumber, QHeaderView::ResizeToContents);
    header()->setSectionResizeMode(kTime, QHeaderView::ResizeToContents);
    setColumnWidth(kArtist, 160);
    setColumnWidth(kAlbum, 160);
    connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item, int) {
        Q_EMIT PlayRequested(static_cast<std::size_t>(indexOfTopLevelItem(item)));
    });
}

void PlaylistView::FillItem(QTreeWidgetItem* item, const PlaylistEntry& entry, std::size_t row) {
    const bool playing = entry.id == m_playing && m_playing != 0;
    item->setText(kNumber,
                  playing ? QStringLiteral("\u25B6 %1").arg(row + 1) : QString::number(row + 1));
    item->setText(kTitle, QString::fromStdString(DisplayTitle(entry)));
    item->setText(kArtist, QString::fromStdString(entry.info.artist));
    item->setText(kAlbum, QString::fromStdString(entry.info.album));
    item->setText(kTime, entry.info.seconds > 0
                             ? QString::fromStdString(FormatTime(entry.info.seconds))
                             : QString());
    item->setTextAlignment(kTime, Qt::AlignRight | Qt::AlignVCenter);
    item->setData(kNumber, kIdRole, QVariant::fromValue<qulonglong>(entry.id));
    item->setToolTip(kTitle, QString::fromStdString(entry.path));
    QFont f = font();
    f.setBold(playing);
    for (int c = 0; c < kColumns; ++c)
        item->setFont(c, f);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
    if (!m_filter.isEmpty()) {
        bool match = false;
        for (int c = kTitle; c <= kAlbum && !match; ++c)
            match = item->text(c).contains(m_filter, Qt::CaseInsensitive);
        item->setHidden(!match);
    }
}

void PlaylistView::Show(const Playlist& playlist) {
    const int scroll = verticalScrollBar() ? verticalScrollBar()->value() : 0;
    setUpdatesEnabled(false);
    clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(playlist.Size()));
    for (std::size_t row = 0; row < playlist.Size(); ++row) {
        auto* item = new QTreeWidgetItem;
        FillItem(item, playlist.At(row), row);
        items.push_back(item);
    }
    addTopLevelItems(items);
    setUpdatesEnabled(true);
    if (verticalScrollBar()) verticalScrollBar()->setValue(scroll);
}

void PlaylistView::UpdateRow(const Playlist& playlist, std::size_t row) {
    if (QTreeWidgetItem* item = topLevelItem(static_cast<int>(row)))
        FillItem(item, playlist.At(row), row);
}

void PlaylistView::SetPlaying(std::uint64_t id) {
    if (id == m_playing) return;
    const std::uint64_t old = m_playing;
    m_playing = id;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = topLevelItem(i);
        const auto itemId = item->data(kNumber, kIdRole).toULongLong();
        if (itemId != old && itemId != id) continue;
        const bool playing = itemId == id && id != 0;
        item->setText(kNumber,
                      playing ? QStringLiteral("\u25B6 %1").arg(i + 1) : QString::number(i + 1));
        QFont f = font();
        f.setBold(playing);
        for (int c = 0; c < kColumns; ++c)
            item->setFont(c, f);
        if (playing) scrollToItem(item);
    }
}

void PlaylistView::Filter(const QString& text) {
    m_filter = text.trimmed();
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = topLevelItem(i);
        bool match = m_filter.isEmpty();
        for (int c = kTitle; c <= kAlbum && !match; ++c)
            match = item->text(c).contains(m_filter, Qt::CaseInsensitive);
        item->setHidden(!match);
    }
}

std::vector<std::size_t> PlaylistView::SelectedRows() const {
    std::vector<std::size_t> rows;
    for (QTreeWidgetItem* item : selectedItems())
        rows.push_back(static_cast<std::size_t>(indexOfTopLevelItem(item)));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void PlaylistView::ApplySkin(ISkin* skin) {
    if (!skin) return;
    QPalette p = palette();
    const QColor base = SkinColor(skin, kSkinList);
    const QColor text = SkinColor(skin, kSkinListText);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase,
               base.lightness() > 128 ? base.darker(106) : base.lighter(118));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Window, SkinColor(skin, kSkinWindow));
    p.setColor(QPalette::Button, SkinColor(skin, kSkinFace));
    p.setColor(QPalette::ButtonText, SkinColor(skin, kSkinFaceText));
    p.setColor(QPalette::Highlight, SkinColor(skin, kSkinHighlight));
    p.setColor(QPalette::HighlightedText, SkinColor(skin, kSkinHighlightText));
    setPalette(p);
    header()->setPalette(p);
}

void PlaylistView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        const auto rows = SelectedRows();
        if (!rows.empty()) Q_EMIT RemoveRequested(rows);
        return;
    }
    // Typing into the list searches it (space stays play and pause).
    const QString text = event->text();
    const auto chords = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (!text.isEmpty() && text.at(0).isPrint() && !text.at(0).isSpace() &&
        !(event->modifiers() & chords)) {
        Q_EMIT FindTyped(text);
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void PlaylistView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->source() == this || event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void PlaylistView::dragMoveEvent(QDragMoveEvent* event) {
    QTreeWidget::dragMoveEvent(event);
    if (event->source() == this || event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void PlaylistView::dropEvent(QDropEvent* event) {
    if (event->source() == this) {
        QTreeWidgetItem* target = itemAt(event->position().toPoint());
        std::size_t to = static_cast<std::size_t>(topLevelItemCount());
        if (target) {
            to = static_cast<std::size_t>(indexOfTopLevelItem(target));
            if (dropIndicatorPosition() == QAbstractItemView::BelowItem) ++to;
        }
        const auto rows = SelectedRows();
        // The view is rebuilt from the playlist; Qt must not move items itself.
        event->setDropAction(Qt::IgnoreAction);
        event->accept();
        if (!rows.empty()) Q_EMIT MoveRequested(rows, to);
        return;
    }
    if (event->mimeData()->hasUrls()) {
        QStringList paths;
        for (const QUrl& url : event->mimeData()->urls())
            if (url.isLocalFile()) paths << url.toLocalFile();
        event->acceptProposedAction();
        if (!paths.isEmpty()) Q_EMIT FilesDropped(paths);
        return;
    }
    event->ignore();
}

} // namespace suite
