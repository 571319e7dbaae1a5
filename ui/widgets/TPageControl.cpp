#include "TPageControl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTabBar>

TPageControl::TPageControl(QWidget* parent)
    : QTabWidget(parent)
{
    tabBar()->installEventFilter(this);
}

bool TPageControl::UserMayChange() const
{
    return !FAllowChange || FAllowChange();
}

void TPageControl::keyPressEvent(QKeyEvent* event)
{
    // Ctrl+Tab and Ctrl+PgUp/PgDn switch pages from anywhere inside the control.
    const bool pageKey = (event->modifiers() & Qt::ControlModifier) &&
                         (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab ||
                          event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown);
    if (pageKey && !UserMayChange()) {
        event->accept();
        return;
    }
    QTabWidget::keyPressEvent(event);
}

bool TPageControl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != tabBar())
        return QTabWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const int index = tabBar()->tabAt(mouse->position().toPoint());
        if (index >= 0 && index != currentIndex() && !UserMayChange())
            return true;
        break;
    }
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            if ((key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab) ||
                (key->modifiers() & Qt::ControlModifier)) {
                if (!UserMayChange())
                    return true;
            }
            break;
        default:
            break;
        }
        break;
    }
    case QEvent::Wheel:
        if (!UserMayChange())
            return true;
        break;
    default:
        break;
    }
    return QTabWidget::eventFilter(watched, event);
}
