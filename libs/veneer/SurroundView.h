// CSCSurroundView: the surround room seen from above, with the speakers of
// the current mode round the listener in the middle and the sound's marker,
// which the user may drag.
//
// It paints itself in the skin's colours (the room in the edit colour, walls
// in the border colour, speakers in the face colours, the marker in the
// highlight colour), all as vectors, so it stays sharp at any pixel ratio.
// Constructed with a flag: false shows the room dimmed (surround is off).
// A drag of the marker is reported with MarkerDragged (the point in view
// pixels, kept inside the view) when the marker is let go, and with
// MarkerMoving while it moves. The view is a button: a click beside the
// marker (or anywhere, while dragging is off) emits clicked().
//
// Window thread only.
#pragma once

#include <QAbstractButton>

#include "libs/veneer/SkinBase.h"

namespace veneer {

class CSCSurroundView : public QAbstractButton, public CSkinBase {
    Q_OBJECT
public:
    explicit CSCSurroundView(bool on, QWidget* parent = nullptr);

    QWidget* GetWnd() override { return this; }
    // The speaker mode (0 "4.0" ... 5 "7.1 Front", 6 stereo).
    void SetMode(int mode);
    int Mode() const { return m_mode; }
    // The sound at (x, y) metres in a room of width x height metres.
    void SetSoundPos(float x, float y, float roomWidth, float roomHeight);
    void SetOn(bool on);
    bool IsOn() const { return m_on; }
    // Whether the marker can be dragged (the small view on the main frame's
    // panel only shows it).
    void SetDraggable(bool draggable) { m_draggable = draggable; }
    // The marker's centre in view pixels.
    QPointF MarkerPoint() const;
    QSize sizeHint() const override { return {160, 160}; }

Q_SIGNALS:
    void MarkerMoving(int x, int y);
    void MarkerDragged(int x, int y);

protected:
    bool TakeResources(const _UNKNOWN_RESOURCES_* resources) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QRectF Room() const;
    QPoint Clamped(const QPointF& p) const;

    int m_mode = 2;
    float m_x = 0.5f, m_y = 0.5f; // as fractions of the room
    bool m_on = false;
    bool m_draggable = true;
    bool m_dragging = false;
    QPointF m_dragPoint;
};

} // namespace veneer
