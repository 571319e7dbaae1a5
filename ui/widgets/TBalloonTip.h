#pragma once

#include <QFrame>
#include <QPointer>

class QLabel;
class QTimer;

// A balloon with a title, a text and an icon pointing at a control, drawn inside the control's
// window. The window system's tool tip would do, but it closes at the next click, key or change
// of the active window, which is how the user got there: it was gone before it could be read.
// This one stays until it is clicked, the control is typed into or hidden, or its time is up.
class TBalloonTip final : public QFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TBalloonTip)

public:
    // Shows the balloon of Anchor's window (one per window: a new text takes the place of the
    // old) below Anchor, or at the top of the window while Anchor is not shown. Nothing for no
    // anchor.
    static TBalloonTip* ShowBalloon(QWidget* anchor, const QString& title, const QString& text,
                                    const QIcon& icon, int timeoutMs = 15000);

    QString Title() const;
    QString Text() const;
    // The control the balloon points at; null while it points at none.
    QWidget* Anchor() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    explicit TBalloonTip(QWidget* window);
    void Attach(QWidget* anchor);
    void Place();

    QLabel* FIcon;
    QLabel* FTitle;
    QLabel* FText;
    QTimer* FTimer;
    QPointer<QWidget> FAnchor;
    bool FPointsAtAnchor = false;
};
