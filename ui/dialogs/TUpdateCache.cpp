#include "TUpdateCache.h"
#include "ui_TUpdateCache.h"

#include "uKOVA_Misc.h"

#include <QCoreApplication>

TUpdateCache::TUpdateCache(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , FUi(std::make_unique<Ui::TUpdateCache>())
{
    FUi->setupUi(this);
    setModal(false);
}

TUpdateCache::~TUpdateCache() = default;

void TUpdateCache::ShowBusy()
{
    FUi->pgProgress->setVisible(IsWindowsXPOrLater());
    FUi->pgProgress->setRange(0, 0);
    show();
    raise();
    repaint();
    QCoreApplication::processEvents();
}

void TUpdateCache::SetProgress(int done, int total)
{
    if (total <= 0)
        return;
    FUi->pgProgress->setRange(0, total);
    FUi->pgProgress->setValue(qBound(0, done, total));
}
