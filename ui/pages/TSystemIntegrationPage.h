#pragma once

#include <memory>

#include "TPageBase.h"

class QRadioButton;
enum class TVerbKind;

namespace Ui {
class TSystemIntegrationPage;
}

// The System Integration page: the install verb for zip archives and for folders in the
// desktop's "Open With", how folders given to "/install" are walked, and the association of
// demo files with this program.
class TSystemIntegrationPage final : public TPageBase
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TSystemIntegrationPage)

public:
    TSystemIntegrationPage(IPageContext& context, QWidget* parent);
    ~TSystemIntegrationPage() override;

    void RefreshPage() override { ShowSystemIntegrationPage(); }
    void LanguageChanged() override;

    // The page's refresh handler: shows what the desktop files and the settings hold and
    // writes nothing.
    void ShowSystemIntegrationPage();

    void cbSystemIntegration_EnableShellExtensionClick();
    void cbSystemIntegration_EnableShellExtensionFolderClick();
    void rgSysInteg_FolderInstallOptionsClick();
    void btnSystemIntegration_AssocDemFilesClick();

private:
    // Switches the verb of Kind as the user asked, then shows what the desktop files hold.
    void SetVerb(TVerbKind kind, bool on);
    // The boxes and the radio group as the desktop files say.
    void ShowVerbs();
    void ShowFolderInstallMode();
    QList<QRadioButton*> FolderInstallButtons() const;

    std::unique_ptr<Ui::TSystemIntegrationPage> FUi;
};
