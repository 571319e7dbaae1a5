#include "TLinkLabel.h"

#include "Guard.h"
#include "IDialogs.h"
#include "Process.h"

#include <QEnterEvent>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPointer>
#include <QRegularExpression>
#include <QUrl>

namespace {

const QColor KNavy(0, 0, 128);

TLinkLabel::TOpener& Opener()
{
    static TLinkLabel::TOpener opener;
    return opener;
}

// An address with a scheme of two letters or more ("https:", "file:", "mailto:") is a URL; a
// single letter would be a drive.
bool IsUrl(const QString& address)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(address).hasMatch();
}

} // namespace

TLinkLabel::TLinkLabel(QWidget* parent)
    : QLabel(parent)
{
    FDefaultFont = {font(), KNavy};
    FHoverFont = FDefaultFont;
    FHoverFont.Font.setUnderline(true);
    FDefaultColor = palette().color(QPalette::Button);
    FHoverColor = FDefaultColor;
    setCursor(Qt::PointingHandCursor);
    ShowLook(FDefaultFont, FDefaultColor);
}

TLinkLabel::~TLinkLabel() = default;

void TLinkLabel::SetDefaultFont(const TLabelFont& font)
{
    FDefaultFont = font;
    if (!FMouseInside)
        ShowLook(FDefaultFont, FDefaultColor);
}

void TLinkLabel::SetDefaultColor(const QColor& color)
{
    FDefaultColor = color;
    if (!FMouseInside)
        ShowLook(FDefaultFont, FDefaultColor);
}

void TLinkLabel::SetTransparent(bool transparent)
{
    setAutoFillBackground(!transparent);
    ShowLook(FMouseInside ? FHoverFont : FDefaultFont, FMouseInside ? FHoverColor : FDefaultColor);
}

void TLinkLabel::ShowLook(const TLabelFont& look, const QColor& background)
{
    setFont(look.Font);
    QPalette colours = palette();
    colours.setColor(QPalette::Active, QPalette::WindowText, look.Color);
    colours.setColor(QPalette::Inactive, QPalette::WindowText, look.Color);
    if (!Transparent())
        colours.setColor(QPalette::Window, background);
    setPalette(colours);
}

void TLinkLabel::enterEvent(QEnterEvent* event)
{
    FMouseInside = true;
    ShowLook(FHoverFont, FHoverColor);
    QLabel::enterEvent(event);
}

void TLinkLabel::leaveEvent(QEvent* event)
{
    FMouseInside = false;
    ShowLook(FDefaultFont, FDefaultColor);
    QLabel::leaveEvent(event);
}

void TLinkLabel::mousePressEvent(QMouseEvent* event)
{
    FPressed = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = FPressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    FPressed = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        RunGuarded(this, [this] { Click(); });
}

void TLinkLabel::Click()
{
    emit clicked();
    if (FHyperLink.isEmpty() || FDisableNavigation)
        return;
    bool cancel = false;
    if (OnBeforeNavigate)
        OnBeforeNavigate(this, cancel);
    if (cancel)
        return;
    if (!OpenOrReport(window(), FHyperLink))
        return;
    if (OnAfterNavigate)
        OnAfterNavigate(this);
}

bool TLinkLabel::OpenURL(const QString& address, QString* error, QObject* receiver,
                         TOnOpenFailed onLateFailure)
{
    QString reason;
    const TOpener& opener = Opener();
    bool opened = false;
    if (!address.isEmpty()) {
        const QString url = IsUrl(address)
                                ? address
                                : QUrl::fromLocalFile(QFileInfo(address).absoluteFilePath())
                                      .toString(QUrl::FullyEncoded);
        TOpenEnded ended;
        if (onLateFailure) {
            // The message names the address as the caller knows it, not the URL made of it.
            ended = [address, guard = QPointer<QObject>(receiver), guarded = receiver != nullptr,
                     onLateFailure = std::move(onLateFailure)](int status) {
                if (status != 0 && (!guarded || guard))
                    onLateFailure(OpenFailureText(address, status));
            };
        }
        opened = opener ? opener(url, &reason, std::move(ended))
                        : OpenWithDefaultHandler(url, &reason, std::move(ended));
    }
    if (!opened && error)
        *error = reason.isEmpty() ? tr("No program could be started to open \"%1\".").arg(address)
                                  : reason;
    return opened;
}

bool TLinkLabel::OpenOrReport(QWidget* owner, const QString& address)
{
    QString error;
    const auto report = [owner](const QString& text) { Dialogs().ShowException(owner, text); };
    if (OpenURL(address, &error, owner, report))
        return true;
    report(error);
    return false;
}

TLinkLabel::TOpener TLinkLabel::SetOpener(TOpener opener)
{
    TOpener previous = Opener();
    Opener() = std::move(opener);
    return previous;
}
