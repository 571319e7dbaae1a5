#pragma once

#include "Process.h"

#include <QColor>
#include <QFont>
#include <QLabel>

#include <functional>

// A font with the colour its text is drawn in.
struct TLabelFont
{
    QFont Font;
    QColor Color;
};

// A label that looks like a link: one font and background normally, others while the mouse is
// over it, and a click that opens its HyperLink with the desktop's default handler. Before
// opening, OnBeforeNavigate may cancel; after a successful opening OnAfterNavigate runs.
class TLinkLabel final : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TLinkLabel)

public:
    // Sender; Cancel starts False, and True stops the navigation.
    using TOnBeforeNavigate = std::function<void(TLinkLabel* sender, bool& cancel)>;
    using TOnAfterNavigate = std::function<void(TLinkLabel* sender)>;
    // Opens an address (a URL, or a file URL) as OpenWithDefaultHandler does: false, with the
    // reason in Error, when that could not be started; OnEnded, when given, told later how it
    // ended.
    using TOpener = std::function<bool(const QString& url, QString* error, TOpenEnded onEnded)>;
    // The message of a handler that started and then failed.
    using TOnOpenFailed = std::function<void(const QString& error)>;

    explicit TLinkLabel(QWidget* parent = nullptr);
    ~TLinkLabel() override;

    // Setting the default font or colour shows it at once while the mouse is not over the label.
    TLabelFont DefaultFont() const { return FDefaultFont; }
    void SetDefaultFont(const TLabelFont& font);
    TLabelFont HoverFont() const { return FHoverFont; }
    void SetHoverFont(const TLabelFont& font) { FHoverFont = font; }
    // The background colours, shown only when the label is not transparent.
    QColor DefaultColor() const { return FDefaultColor; }
    void SetDefaultColor(const QColor& color);
    QColor HoverColor() const { return FHoverColor; }
    void SetHoverColor(const QColor& color) { FHoverColor = color; }
    // A transparent label shows its parent's background instead of the colours above.
    bool Transparent() const { return !autoFillBackground(); }
    void SetTransparent(bool transparent);

    QString HyperLink() const { return FHyperLink; }
    void SetHyperLink(const QString& link) { FHyperLink = link; }
    bool DisableNavigation() const { return FDisableNavigation; }
    void SetDisableNavigation(bool disable) { FDisableNavigation = disable; }
    bool MouseInside() const { return FMouseInside; }

    TOnBeforeNavigate OnBeforeNavigate;
    TOnAfterNavigate OnAfterNavigate;

    // Emits clicked, then navigates to HyperLink unless it is empty or navigation is disabled.
    // An address that cannot be opened shows the error box, and OnAfterNavigate does not run.
    void Click();
    // Click from code, exactly as a mouse click.
    void Navigate() { Click(); }

    // Opens Address with the desktop's default handler: a URL as it stands, anything else as a
    // local file (made absolute, handed over as one file URL, blanks and all). False, with the
    // reason in Error, when it could not be opened. A handler that starts and then fails is told
    // to OnLateFailure later, from the event loop, unless Receiver (when given) is gone by then.
    static bool OpenURL(const QString& address, QString* error = nullptr,
                        QObject* receiver = nullptr, TOnOpenFailed onLateFailure = {});
    // OpenURL; a failure, also one of the handler after its start, is shown in the error box
    // over Owner, while Owner lives.
    static bool OpenOrReport(QWidget* owner, const QString& address);
    // The default browser's program; empty here, where the desktop's default handler chooses.
    static QString GetDefaultBrowser() { return QString(); }
    // Replaces what OpenURL hands the address to (tests do); null restores the desktop's
    // default handler. Returns the opener in use before.
    static TOpener SetOpener(TOpener opener);

signals:
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ShowLook(const TLabelFont& font, const QColor& background);

    bool FMouseInside = false;
    bool FPressed = false;
    TLabelFont FDefaultFont;
    QColor FDefaultColor;
    QString FHyperLink;
    TLabelFont FHoverFont;
    QColor FHoverColor;
    bool FDisableNavigation = false;
};
