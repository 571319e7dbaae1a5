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

    // Asked before a change by the user; false refuses it. Unset: every change passes.
    void SetChanging(std::function<bool()> allowChange) { FAllowChange = std::move(allowChange); }
    // The area of tab Index in the tab bar's coordinates.
    QRect TabRect(int index) const;
    // Whether the user may leave the current page now.
    bool UserMayChange() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TMultiRowTabBar* FTabBar;
    std::function<bool()> FAllowChange;
};
