#include "TPageControl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <QTabBar>

// Lays the tabs out in rows that fill the width, as many as needed. The row of the current tab
// sits next to the pages. QTabBar keeps the tabs' texts and icons; this class only places and
// paints them and maps clicks to tabs.
class TMultiRowTabBar final : public QTabBar
{
public:
    explicit TMultiRowTabBar(QWidget* parent)
        : QTabBar(parent)
    {
        setUsesScrollButtons(false);
        setExpanding(false);
        setDrawBase(false);
        setElideMode(Qt::ElideNone);
    }

    QSize sizeHint() const override { return {AvailableWidth(), RowCount() * RowHeight()}; }
    QSize minimumSizeHint() const override { return {40, RowCount() * RowHeight()}; }

    int TabAtPoint(const QPoint& pos) const
    {
        const QList<QRect> rects = Rects(width());
        for (int i = 0; i < rects.size(); ++i) {
            if (rects.at(i).contains(pos))
                return i;
        }
        return -1;
    }

    QRect Rect(int index) const
    {
        const QList<QRect> rects = Rects(width());
        return index >= 0 && index < rects.size() ? rects.at(index) : QRect();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        const QList<QRect> rects = Rects(width());
        // The current tab last, so its raised frame is drawn over its neighbours.
        for (int pass = 0; pass < 2; ++pass) {
            for (int i = 0; i < count(); ++i) {
                if ((i == currentIndex()) != (pass == 1))
                    continue;
                QStyleOptionTab option;
                initStyleOption(&option, i);
                option.rect = rects.at(i);
                option.position = QStyleOptionTab::Middle;
                option.selectedPosition = QStyleOptionTab::NotAdjacent;
                painter.drawControl(QStyle::CE_TabBarTab, option);
            }
        }
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        const int index = TabAtPoint(event->position().toPoint());
        if (index >= 0)
            setCurrentIndex(index);
    }
    void mouseMoveEvent(QMouseEvent*) override {}
    void mouseReleaseEvent(QMouseEvent*) override {}
    void resizeEvent(QResizeEvent* event) override
    {
        QTabBar::resizeEvent(event);
        updateGeometry();
    }
    void tabLayoutChange() override
    {
        updateGeometry();
        update();
    }

private:
    int AvailableWidth() const
    {
        const QWidget* tabs = parentWidget();
        return qMax(40, tabs ? tabs->width() : width());
    }

    int RowHeight() const
    {
        int height = 0;
        for (int i = 0; i < count(); ++i)
            height = qMax(height, QTabBar::tabSizeHint(i).height());
        return height;
    }

    // Tabs in order, each row filled up to Width and then stretched to fill it.
    QList<QList<int>> Rows(int width) const
    {
        QList<QList<int>> rows;
        int used = 0;
        for (int i = 0; i < count(); ++i) {
            const int tabWidth = QTabBar::tabSizeHint(i).width();
            if (rows.isEmpty() || (used + tabWidth > width && !rows.last().isEmpty())) {
                rows.append(QList<int>());
                used = 0;
            }
            rows.last().append(i);
            used += tabWidth;
        }
        return rows;
    }

    int RowCount() const { return qMax(1, int(Rows(AvailableWidth()).size())); }

    QList<QRect> Rects(int width) const
    {
        QList<QRect> rects(count());
        QList<QList<int>> rows = Rows(width);
        // The row holding the current tab moves next to the pages, at the bottom.
        for (int r = 0; r < rows.size(); ++r) {
            if (rows.at(r).contains(currentIndex())) {
                rows.append(rows.takeAt(r));
                break;
            }
        }
        const int rowHeight = RowHeight();
        for (int r = 0; r < rows.size(); ++r) {
            const QList<int>& row = rows.at(r);
            int natural = 0;
            for (int index : row)
                natural += QTabBar::tabSizeHint(index).width();
            // Full rows are stretched to the width; a single row keeps its natural widths.
            const int extra = rows.size() > 1 ? qMax(0, width - natural) : 0;
            int x = 0;
            int handedOut = 0;
            for (int k = 0; k < row.size(); ++k) {
                const int index = row.at(k);
                const int base = QTabBar::tabSizeHint(index).width();
                const int share = int(qint64(extra) * (k + 1) / row.size()) - handedOut;
                handedOut += share;
                rects[index] = QRect(x, r * rowHeight, base + share, rowHeight);
                x += base + share;
            }
        }
        return rects;
    }
};

TPageControl::TPageControl(QWidget* parent)
    : QTabWidget(parent)
    , FTabBar(new TMultiRowTabBar(this))
{
    setTabBar(FTabBar);
    FTabBar->installEventFilter(this);
}

QRect TPageControl::TabRect(int index) const
{
    return FTabBar->Rect(index);
}

bool TPageControl::UserMayChange(int index) const
{
    return !FAllowChange || FAllowChange(index);
}

void TPageControl::keyPressEvent(QKeyEvent* event)
{
    // Ctrl+Tab and Ctrl+PgUp/PgDn switch pages from anywhere inside the control.
    const bool pageKey = (event->modifiers() & Qt::ControlModifier) &&
                         (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab ||
                          event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown);
    if (pageKey && !UserMayChange(-1)) {
        event->accept();
        return;
    }
    QTabWidget::keyPressEvent(event);
}

bool TPageControl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != FTabBar)
        return QTabWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const int index = FTabBar->TabAtPoint(mouse->position().toPoint());
        if (index >= 0 && index != currentIndex() && !UserMayChange(index))
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
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            if (!UserMayChange(-1))
                return true;
            break;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if ((key->modifiers() & Qt::ControlModifier) && !UserMayChange(-1))
                return true;
            break;
        default:
            break;
        }
        break;
    }
    case QEvent::Wheel:
        if (!UserMayChange(-1))
            return true;
        break;
    default:
        break;
    }
    return QTabWidget::eventFilter(watched, event);
}
