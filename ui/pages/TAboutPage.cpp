#include "TAboutPage.h"
#include "ui_TAboutPage.h"

#include "Guard.h"
#include "IDialogs.h"
#include "IPageContext.h"
#include "KOVABuildInfo.h"
#include "KOVAIcons.h"
#include "KOVAVersion.h"
#include "TKOVASettings.h"
#include "TLinkLabel.h"
#include "TemplateFormat.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScopeGuard>

TAboutPage::TAboutPage(IPageContext& context, QWidget* parent)
    : TPageBase(context, parent)
    , FUi(std::make_unique<Ui::TAboutPage>())
{
    FUi->setupUi(this);
    FUi->imgAbout_Logo->setPixmap(KOVALogo(96));
    FUi->imgAbout_Logo->installEventFilter(this);
    // The links are set at every showing of the window, as the menu's check may come first.
    window()->installEventFilter(this);
    FUi->lbAbout_Updates->OnBeforeNavigate = [this](TLinkLabel* sender, bool& cancel) {
        lbAbout_UpdatesBeforeNavigate(sender, cancel);
    };
    SetLinks();
}

TAboutPage::~TAboutPage() = default;

bool TAboutPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window() && event->type() == QEvent::Show) {
        SetLinks();
    } else if (watched == FUi->imgAbout_Logo && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            FUi->imgAbout_Logo->rect().contains(mouse->position().toPoint()))
            RunGuarded(this, [this] { imgAbout_LogoClick(); });
    }
    return TPageBase::eventFilter(watched, event);
}

void TAboutPage::SetLinks()
{
    const TUpdateAddresses addresses = FContext.UpdateAddresses();
    FUi->lbAbout_Updates->SetHyperLink(addresses.Download);
    FUi->lbAbout_Homepage->SetHyperLink(addresses.Project);
}

void TAboutPage::ShowAboutPage()
{
    FUi->lbAbout_Info->setText(FormatTemplate(QStringLiteral("%s, Version %s"),
                                              {FContext.Settings().AppName, GetFileVersionText()}));
    FUi->lbAbout_Build->setText(BuildTimeText(KOVABuildTimeUtc()));
    SetLinks();
}

void TAboutPage::lbAbout_UpdatesBeforeNavigate(TLinkLabel*, bool& cancel)
{
    const TResult<bool> newer = [this] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        // The check blocks: let the cursor reach the screen first.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return FContext.CheckForUpdate();
    }();
    IDialogs& dialogs = FContext.Dialogs();
    cancel = true;
    if (!newer) {
        // A check that got no answer says so: the user would otherwise take it for "none".
        FContext.ShowError(window(), FContext.GetLangText(TDialogType::Update_Error) +
                                         QStringLiteral("\n\n") + newer.Error().Message);
    } else if (*newer) {
        cancel =
            dialogs.MessageBox(window(), FContext.GetLangText(TDialogType::Common_Confirmation),
                               FContext.GetLangText(TDialogType::Update_Avail),
                               TMsgDlgType::mtConfirmation, mbYes | mbNo) != TModalResult::mrYes;
    } else {
        dialogs.MessageBox(window(), FContext.GetLangText(TDialogType::Common_Warning),
                           FContext.GetLangText(TDialogType::Update_NoUpdate),
                           TMsgDlgType::mtWarning, mbOK);
    }
}

void TAboutPage::imgAbout_LogoClick()
{
    TLinkLabel::OpenOrReport(window(), FContext.UpdateAddresses().Project);
}
