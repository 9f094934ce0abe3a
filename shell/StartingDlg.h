// The splash shown while the program starts: a picture with a thin frame and
// a 15-pixel status strip below it that tells what start-up is doing.
//
// One exists from the start of the window work to the end of start-up;
// Current() lets the frame and the module loader set the strip's text
// meanwhile. Window thread only.
#pragma once

#include <QPixmap>
#include <QRect>
#include <QWidget>

class QLabel;

namespace shell {

class CStartingDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStripHeight = 15;

    CStartingDlg();
    ~CStartingDlg() override;

    // Sets the strip's text and shows it at once (start-up does not return
    // to the event loop until it is done). TRUE.
    bool SetProgressText(const QString& text);
    QString ProgressText() const;

    // The splash while one exists, else null.
    static CStartingDlg* Current();
    // Sets the text on the current splash, when there is one.
    static void SetCurrentProgressText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static QPixmap MakePicture();

    QPixmap m_picture;
    QRect m_pictureRect;
    QLabel* m_status;
};

} // namespace shell
