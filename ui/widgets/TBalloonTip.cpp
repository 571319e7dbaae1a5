#include "TBalloonTip.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int KMaxWidth = 360;
constexpr int KIconSize = 32;

} // namespace

TBalloonTip::TBalloonTip(QWidget* window)
    : QFrame(window)
    , FIcon(new QLabel(this))
    , FTitle(new QLabel(this))
    , FText(new QLabel(this))
    , FTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("KOVABalloonTip"));
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    setForegroundRole(QPalette::ToolTipText);
    setBackgroundRole(QPalette::ToolTipBase);
    setCursor(Qt::PointingHandCursor);
    QFont bold = FTitle->font();
    bold.setBold(true);
    FTitle->setFont(bold);
    FText->setWordWrap(true);
    for (QLabel* label : {FTitle, FText}) {
        label->setForegroundRole(QPalette::ToolTipText);
        label->setTextFormat(Qt::PlainText);
    }
    auto* texts = new QVBoxLayout;
    texts->addWidget(FTitle);
    texts->addWidget(FText);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addWidget(FIcon, 0, Qt::AlignTop);
    layout->addLayout(texts, 1);
    FTimer->setSingleShot(true);
    connect(FTimer, &QTimer::timeout, this, &QWidget::hide);
    window->installEventFilter(this);
}

TBalloonTip* TBalloonTip::ShowBalloon(QWidget* anchor, const QString& title, const QString& text,
                                      const QIcon& icon, int timeoutMs)
{
    if (!anchor)
        return nullptr;
    QWidget* window = anchor->window();
    auto* balloon = window->findChild<TBalloonTip*>(QString(), Qt::FindDirectChildrenOnly);
    if (!balloon)
        balloon = new TBalloonTip(window);
    balloon->FTitle->setText(title);
    balloon->FTitle->setVisible(!title.isEmpty());
    balloon->FText->setText(text);
    balloon->FIcon->setPixmap(icon.pixmap(KIconSize, KIconSize));
    balloon->FIcon->setVisible(!icon.isNull());
    balloon->Attach(anchor);
    balloon->Place();
    balloon->raise();
    balloon->show();
    balloon->FTimer->start(timeoutMs);
    return balloon;
}

QString TBalloonTip::Title() const
{
    return FTitle->text();
}

QString TBalloonTip::Text() const
{
    return FText->text();
}

QWidget* TBalloonTip::Anchor() const
{
    return FPointsAtAnchor ? FAnchor.data() : nullptr;
}

void TBalloonTip::Attach(QWidget* anchor)
{
    if (FAnchor == anchor)
        return;
    if (FAnchor) {
        FAnchor->removeEventFilter(this);
        if (auto* edit = qobject_cast<QLineEdit*>(FAnchor.data()))
            disconnect(edit, nullptr, this, nullptr);
    }
    FAnchor = anchor;
    anchor->installEventFilter(this);
    // Typing in the control is the user acting on the balloon.
    if (auto* edit = qobject_cast<QLineEdit*>(anchor))
        connect(edit, &QLineEdit::textEdited, this, &QWidget::hide);
}

void TBalloonTip::Place()
{
    QWidget* window = parentWidget();
    setFixedWidth(qMin(KMaxWidth, qMax(window->width() - 16, 120)));
    adjustSize();
    FPointsAtAnchor = FAnchor && FAnchor->isVisible();
    QPoint at;
    if (FPointsAtAnchor) {
        at = FAnchor->mapTo(window, QPoint(FAnchor->width() / 4, FAnchor->height() + 2));
    } else {
        // The control is on a page not shown: the balloon still says what is wrong.
        at = QPoint((window->width() - width()) / 2, window->height() / 4);
    }
    at.setX(qBound(4, at.x(), qMax(4, window->width() - width() - 4)));
    at.setY(qBound(4, at.y(), qMax(4, window->height() - height() - 4)));
    move(at);
}

bool TBalloonTip::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FAnchor && event->type() == QEvent::Hide && FPointsAtAnchor)
        hide();
    else if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible())
        Place();
    return QFrame::eventFilter(watched, event);
}

void TBalloonTip::mousePressEvent(QMouseEvent* event)
{
    hide();
    event->accept();
}
