// Veneer's skinned controls: Qt widgets that paint themselves from skin
// image strips (PNG or SVG, equal frames side by side) handed over through
// UseCustomSkin. Without a usable image every control paints a plain look in
// the skin's colours, so a skin with missing or broken images still works.
//
// Frames of a strip, left to right:
//   push button   4: normal, hover, pressed, disabled
//   check button  8: the four unchecked, then the four checked
//   slider        4: track, fill, thumb, thumb pressed (the track and fill
//                    frames are stretched along the slider, keeping a cap of
//                    half the frame's thickness at each end)
//   round slider  2: body, pointer (the pointer is turned with the value)
//   panel         1: the background, border parts fixed, middle tiled or
//                    stretched
//
// Window thread only.
#pragma once

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

#include "libs/veneer/SkinBase.h"
#include "libs/veneer/TreeCtrl.h"
#include "sonvara/MenuTree.h"

class QTimer;

namespace veneer {

class CImageStrip;

// ---------------------------------------------------------------- buttons

class CSCButton : public QAbstractButton, public CSkinBase {
    Q_OBJECT
public:
    explicit CSCButton(QWidget* parent = nullptr);
    ~CSCButton() override;

    QWidget* GetWnd() override { return this; }
    bool SaveControlState(void** state) const override;
    bool LoadControlState(const void* state) override;
    bool GetSkinSize(SIZE* size) const override;
    QSize sizeHint() const override;

    // The strip frame painted for the current state (see the table above).
    int CurrentFrame() const;

protected:
    bool TakeResources(const _UNKNOWN_RESOURCES_* resources) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    virtual void PaintPlain(QPainter& painter);

    std::shared_ptr<CImageStrip> m_image;
    std::shared_ptr<CImageStrip> m_alpha;
    bool m_hover = false;
};

// A button that scales its image to any size and shows its title over it.
class CSCScaleButton : public CSCButton {
    Q_OBJECT
public:
    explicit CSCScaleButton(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// ---------------------------------------------------------------- texts

class CSCStatic : public QWidget, public CSkinBase {
    Q_OBJECT
public:
    explicit CSCStatic(QWidget* parent = nullptr);

    QWidget* GetWnd() override { return this; }
    void SetText(const QString& text);
    QString Text() const { return m_text; }
    void SetAlignment(Qt::Alignment alignment);
    QColor TextColor() const;
    bool SaveControlState(void** state) const override;
    bool LoadControlState(const void* state) override;

protected:
    bool TakeResources(const _UNKNOWN_RESOURCES_* resources) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    QFont SkinFont() const;

    QString m_text;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool m_hasColor = false;
    lacquer::COLORREF m_color = 0;
    lacquer::LOGFONTA m_font{};
};

// A line of text that scrolls through its texts, one after another. The
// owner drives it with Tick() (its own timer calls Tick when started with
// Start()); a click on a text that has a link emits LinkActivated.
class CSCScrollStatic : public CSCStatic {
    Q_OBJECT
public:
    explicit CSCScrollStatic(QWidget* parent = nullptr);
    ~CSCScrollStatic() override;

    void SetReferences(const QStringList* texts, const QStringList* links);
    const QStringList& Texts() const { return m_texts; }
    int CurrentIndex() const { return m_index; }
    // Moves the text by the scroll speed; past its end the next text starts.
    void Tick();
    // The scroll timer (id kScrollTimer) runs every intervalMs while started.
    void Start(int intervalMs);
    void Stop();
    // The timer handler: the scroll timer ticks. Subclasses that add to it
    // call this first.
    virtual void OnTimer(int timerId);
    static constexpr int kScrollTimer = 1;

Q_SIGNALS:
    void LinkActivated(const QString& link);

protected:
    bool TakeResources(const _UNKNOWN_RESOURCES_* resources) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

    QStringList m_texts;
    QStringList m_links;
    int m_index = 0;
    int m_offset = 0;
    int m_scrollOffset = 0;
    int m_scrollSpeed = 1;
    QTimer* m_timer = nullptr;
};

class CSCHyperLinkStatic : public CSCStatic {
    Q_OBJECT
public:
    explicit CSCHyperLinkStatic(QWidget* parent = nullptr);
    void SetHyperlink(const QString& text, const QString& link);
    QString Link() const { return m_link; }

Q_SIGNALS:
    void LinkActivated(const QString& link);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

    QString m_link;
};

// ---------------------------------------------------------------- sliders

// Notify(code, position) reports every user move with the codes of
// ESliderCode; programmatic SetPos calls report nothing. Vertical sliders
// have their minimum at the top.
class CSCSlider : public QAbstractSlider, public CSkinBase {
    Q_OBJECT
public:
    explicit CSCSlider(Qt::Orientation orientation, QWidget* parent = nullptr);
    ~CSCSlider() override;

    QWidget* GetWnd() override { return this; }
    void SetRange(int minimum, int maximum, bool redraw);
    void SetPos(int position, bool redraw = true);
    int GetPos() const { return value(); }
    bool SaveControlState(void** state) const override;
    bool LoadControlState(const void* state) override;
    bool GetSkinSize(SIZE* size) const override;
    bool IsDragging() const { return m_dragging; }

    // The thumb's rectangle and the track length in which its start moves.
    QRect ThumbRect() const;

Q_SIGNALS:
    void Notify(int code, int position);

protected:
    bool TakeResources(const _UNKNOWN_RESOURCES_* resources) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void OnAction(int action);

    int ThumbLength() const;
    int ValueAt(int pixel) const;
    int PixelOf(int value) const;
    // Moves the slider as the user did and tells the owner (and the group).
    void UserMove(int value, int code, bool fromGroup = false);
    virtual bool ScalesImage() const { return false; }

    std::shared_ptr<CImageStrip> m_image;
    int m_drawAlign = kAlignDefault;
    int m_beginOffset = 0;
    int m_endOffset = 0;
    bool m_dragging = false;
    int m_dragGrab = 0;
    bool m_inNotify = false;
    // Ctrl was held at the last mouse event: the group follows.
    bool m_groupDrag = false;
};

// A slider whose images are scaled to the control's thickness.
class CSCScaleSlider : public CSCSlider {
    Q_OBJECT
public:
    explicit CSCScaleSlider(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    bool ScalesImage() const override { return true; }
};

// A knob: dragging up or right turns it up. Range as any slider; the pointer
// turns from -135 to +135 degrees.
class CSCSliderRound : public CSCSlider {
    Q_OBJECT
public:
    explicit CSCSliderRound(QWidget* parent = nullptr);

protected:
    bool TakeResources(const _UNKNOWN_RESOURCES_* resources) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

    QPoint m_pressPoint;
    int m_pressValue = 0;
};

// ---------------------------------------------------------------- others

class CSCComboBox : public QComboBox, public CSkinBase {
    Q_OBJECT
public:
    explicit CSCComboBox(QWidget* parent = nullptr);
    QWidget* GetWnd() override { return this; }

protected:
    bool TakeResources(const _UNKNOWN_RESOURCES_* resources) override;
};

class CSCEditBox : public QLineEdit, public CSkinBase {
    Q_OBJECT
public:
    explicit CSCEditBox(QWidget* parent = nullptr);
    QWidget* GetWnd() override { return this; }

protected:
    bool TakeResources(const _UNKNOWN_RESOURCES_* resources) override;
};

class CSCScaleDialog : public QDialog, public CSkinBase {
    Q_OBJECT
public:
    CSCScaleDialog(int templateId, QWidget* parent);
    QWidget* GetWnd() override { return this; }
    int TemplateId() const { return m_templateId; }

protected:
    bool TakeResources(const _UNKNOWN_RESOURCES_* resources) override;
    int m_templateId;
};

// A pop-up menu. Filled from a menu tree (sonvara/MenuTree.h) it keeps each
// command's id on its action (QAction::data) and makes its submenus
// CSCMenus too; TrackPopupMenu shows it and returns the command chosen.
// Owner-drawn, it paints itself (and its submenus) from the current skin:
// the skin's face, text, highlight and border colours and the font of the
// SKIN element's "MenuFont" attribute (a LogFont text), with check and radio
// marks drawn as vectors, so it stays sharp at any device pixel ratio.
// Keyboard navigation and mnemonics ('&') are QMenu's.
class CSCMenu : public QMenu, public CSkinBase {
    Q_OBJECT
public:
    // What an update handler may change of a command item before it shows.
    struct SCommandUI {
        bool enabled = true;
        bool checked = false;
        bool radio = false; // the check shows as a radio mark
        QString text;       // empty: keep the item's text
    };
    // Asked for every command item each time its pop-up is about to show.
    using UpdateHandler = std::function<void(unsigned id, SCommandUI& ui)>;

    explicit CSCMenu(QWidget* parent = nullptr);
    ~CSCMenu() override;
    QWidget* GetWnd() override { return this; }
    // Owner-drawn: the menu takes the skin's colours; cleared: the plain look.
    void ChangeToOwnerDraw();
    void ClearOwnerDraw();
    bool IsOwnerDraw() const { return m_ownerDraw; }

    // Replaces the menu's items with the tree's. Items with the tree's
    // Disabled, Checked, RadioCheck and Default states start so; a pop-up
    // item becomes a submenu. A command's id is its action's data.
    void SetMenuTree(const SvMenuTree& tree);
    void SetUpdateHandler(UpdateHandler handler);
    // Shows the menu at a global position and waits for the user. The id of
    // the command chosen (in any submenu), or 0 when none was.
    unsigned TrackPopupMenu(const QPoint& globalPosition);
    // The action of the first command with this id, in this menu or below.
    QAction* FindCommand(unsigned id) const;

    // Tests answer menus without a modal loop: while a hook is set,
    // TrackPopupMenu calls it instead of waiting for the user and returns
    // its result. Null removes it.
    using TrackHook = std::function<unsigned(CSCMenu& menu, const QPoint& globalPosition)>;
    static void SetTrackHook(TrackHook hook);

protected:
    bool TakeResources(const _UNKNOWN_RESOURCES_* resources) override;
    void UpdateItems();
    void ApplyLook(bool ownerDraw);

    bool m_ownerDraw = false;
    UpdateHandler m_update;
    std::unique_ptr<QStyle> m_style;
};

// A panel: paints its background image; its initial size is the image's.
class CSCScalePanel : public QWidget, public CSkinBase {
    Q_OBJECT
public:
    explicit CSCScalePanel(QWidget* parent = nullptr);
    ~CSCScalePanel() override;

    QWidget* GetWnd() override { return this; }
    // The natural size of the panel for its skin image; without a usable
    // image, the plain size (0 x 0 unless set).
    QSize GetInitialSize() const;
    void SetPlainSize(QSize size) { m_plainSize = size; }
    bool GetSkinSize(SIZE* size) const override;

protected:
    bool TakeResources(const _UNKNOWN_RESOURCES_* resources) override;
    void paintEvent(QPaintEvent* event) override;

    std::shared_ptr<CImageStrip> m_image;
    SKIN_PANEL_RESOURCES m_record{};
    QSize m_plainSize;
};

// Applies the skin's colours (Lacquer) to a widget's palette: what the
// window-skinning of ISkin does to widgets whose class it cannot change.
void ApplySkinPalette(QWidget* widget);

// ---------------------------------------------------------------- images

// An image container file: a strip of square frames (each as high as the
// strip), for toolbar images.
class CDataSource {
public:
    CDataSource();
    ~CDataSource();
    CDataSource(const CDataSource&) = delete;
    CDataSource& operator=(const CDataSource&) = delete;

    bool StartUp(const QString& path);
    int FrameCount() const;
    // A new image of the frame (the caller releases it with CloseHandle), or
    // null for a frame that does not exist.
    QImage* GetFrameBitmap(std::uint32_t frame);
    void CloseHandle(QImage* bitmap);
    void CleanUp();

private:
    std::shared_ptr<CImageStrip> m_strip;
};

} // namespace veneer
