#pragma once

#include <memory>

#include "TPageBase.h"

class TLinkLabel;

namespace Ui {
class TAboutPage;
}

// The About page: the program's name, version and build time, and the links to the update
// check and the project's page.
class TAboutPage final : public TPageBase
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TAboutPage)

public:
    TAboutPage(IPageContext& context, QWidget* parent);
    ~TAboutPage() override;

    void RefreshPage() override { ShowAboutPage(); }
    void LanguageChanged() override { ShowAboutPage(); }
    // The project id may have changed: the links follow.
    void SettingsChanged() override { SetLinks(); }

    // The page's refresh handler.
    void ShowAboutPage();
    // Checks for a newer version before the download page opens: only when there is one and
    // the user wants it does the link open.
    void lbAbout_UpdatesBeforeNavigate(TLinkLabel* sender, bool& cancel);
    void imgAbout_LogoClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The links point at the update server's download and project pages.
    void SetLinks();

    std::unique_ptr<Ui::TAboutPage> FUi;
};
