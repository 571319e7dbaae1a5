#pragma once

#include <functional>

#include <QTabWidget>

// A tab widget whose page changes by the user (a tab clicked, the keyboard, the mouse wheel) can
// be refused; changes made by the program (setCurrentIndex, setCurrentWidget) always pass.
class TPageControl final : public QTabWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TPageControl)

public:
    explicit TPageControl(QWidget* parent = nullptr);

    // Asked before a change by the user; false refuses it. Unset: every change passes.
    void SetChanging(std::function<bool()> allowChange) { FAllowChange = std::move(allowChange); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool UserMayChange() const;
    std::function<bool()> FAllowChange;
};
