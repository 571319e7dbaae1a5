#pragma once

#include <QWidget>

class IPageContext;

// One page of the main window, in its tab sheet. It reaches what the pages share through its
// context only, so it can be tested without the window.
class TPageBase : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TPageBase)

public:
    ~TPageBase() override;

    // The page's refresh handler: the page-handler registry runs it when the page becomes the
    // active page, and the page's own actions run it where they refresh the page.
    virtual void RefreshPage() = 0;
    // A language has just dressed the forms: texts the page makes in code follow it here.
    virtual void LanguageChanged() {}
    // The settings were just loaded or saved.
    virtual void SettingsChanged() {}

protected:
    TPageBase(IPageContext& context, QWidget* parent);

    IPageContext& FContext;
};
