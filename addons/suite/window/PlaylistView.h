// The playlist as a skinned list: number, title, artist, album, duration;
// the playing row marked; rows reordered by dragging, files and folders
// dropped in from outside, Delete removes the selection, Enter plays.
// Find as you type: the filter line above the list hides rows that do not
// match (and the list itself jumps to a typed title).
#pragma once

#include "core/Playlist.h"

#include <QTreeWidget>
#include <cstdint>

class ISkin;

namespace suite {

class PlaylistView : public QTreeWidget {
    Q_OBJECT
public:
    explicit PlaylistView(QWidget* parent);

    // Rebuilds every row from the playlist (keeps the scroll position).
    void Show(const Playlist& playlist);
    // Refreshes the texts of one row after its tags arrived.
    void UpdateRow(const Playlist& playlist, std::size_t row);
    // Marks the row of the entry with this id as playing (0: none).
    void SetPlaying(std::uint64_t id);
    std::uint64_t Playing() const { return m_playing; }
    // Hides the rows whose texts do not contain `text` (case ignored).
    void Filter(const QString& text);
    std::vector<std::size_t> SelectedRows() const;
    // Colours from the skin: list background and text, highlight.
    void ApplySkin(ISkin* skin);

Q_SIGNALS:
    void PlayRequested(std::size_t row);
    void RemoveRequested(std::vector<std::size_t> rows);
    void MoveRequested(std::vector<std::size_t> rows, std::size_t to);
    void FilesDropped(QStringList paths);
    // A letter or digit typed into the list: the start of a search.
    void FindTyped(QString text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FillItem(QTreeWidgetItem* item, const PlaylistEntry& entry, std::size_t row);
    std::uint64_t m_playing = 0;
    QString m_filter;
};

} // namespace suite
