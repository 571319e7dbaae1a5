#pragma once

#include <functional>

#include <QTabWidget>

class TMultiRowTabBar;

// A tab widget whose tabs wrap into as many rows as the width needs, so every page stays in
// reach, and whose page changes by the user (a tab clicked, the keyboard, the mouse wheel) can
// be refused; changes made by the program (setCurrentIndex, setCurrentWidget) always pass.
class TPageControl final : public QTabWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TPageControl)

public:
    explicit TPageControl(QWidget* parent = nullptr);

    // Asked before a change by the user to the page at Index, or -1 when the tab bar picks the
    // page (keyboard, wheel); false refuses it. Unset: every change passes.
    void SetChanging(std::function<bool(int index)> allowChange)
    {
        FAllowChange = std::move(allowChange);
    }
    // The area of tab Index in the tab bar's coordinates.
    QRect TabRect(int index) const;
    // Whether the user may go from the current page to the page at Index (-1: not known yet).
    bool UserMayChange(int index) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TMultiRowTabBar* FTabBar;
    std::function<bool(int index)> FAllowChange;
};
