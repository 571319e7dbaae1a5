#pragma once

#include <memory>

#include <QDialog>

namespace Ui {
class TUpdateCache;
}

// The borderless busy window shown while the map cache is rebuilt.
class TUpdateCache final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TUpdateCache)

public:
    explicit TUpdateCache(QWidget* parent = nullptr);
    ~TUpdateCache() override;

    // Shows the window in front and paints it before the caller's long work starts. The bar
    // runs as a marquee until the first progress arrives.
    void ShowBusy();
    // Done of Total maps are read.
    void SetProgress(int done, int total);

private:
    std::unique_ptr<Ui::TUpdateCache> FUi;
};
