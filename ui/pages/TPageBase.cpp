#include "TPageBase.h"

TPageBase::TPageBase(IPageContext& context, QWidget* parent)
    : QWidget(parent)
    , FContext(context)
{}

TPageBase::~TPageBase() = default;
