// Resizing the frameless main frame by its edges and corners. Near an edge
// the pointer shows the resize cursor; a left press there hands the resize
// to the window system (QWindow::startSystemResize), and where the platform
// cannot do that the drag is followed here. The frame's minimum size holds
// either way, and a maximised frame is not resized.
//
// Watches the frame's native window, so it sees the pointer over every
// child (panels, buttons) before they do. Window thread only.
#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>

class QWidget;
class QWindow;

namespace shell {

class CFrameEdges : public QObject {
public:
    // border: how far from the window's edge (pixels) a press resizes.
    explicit CFrameEdges(QWidget* frame, int border = 5);

    // Which edges a point of a window of the given size is near.
    static Qt::Edges EdgesAt(QSize size, QPoint pos, int border);
    // Where a drag that began with geometry `start` puts the window when the
    // pointer has moved by delta, given the minimum size.
    static QRect DraggedGeometry(const QRect& start, Qt::Edges edges, QPoint delta, QSize minimum);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool OnWindowEvent(QEvent* event);
    void ShowCursorFor(Qt::Edges edges, QPoint pos);

    QWidget* m_frame;
    QWindow* m_window = nullptr;
    int m_border;
    Qt::Edges m_dragEdges;
    QPoint m_pressGlobal;
    QRect m_pressGeometry;
    bool m_edgeCursor = false;
};

} // namespace shell
