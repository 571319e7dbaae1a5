#pragma once

#include <QList>
#include <QString>

#include <memory>

// One named component of a form, as a language sees it.
struct TLanguageComponent
{
    QString Name;        // the component's name (its object name); empty for an unnamed one
    bool Visual = false; // a control: it can carry a hint (actions and menus cannot)
    bool Edit = false;   // a single-line edit: its hint is also shown as a cue banner
};

// A form that a language dresses with captions, hints and cue banners. The user interface
// implements it over Qt object names, so the model never touches a widget.
class ILanguageForm
{
public:
    virtual ~ILanguageForm() = default;

    // The form's name, which names its sections in a language file ("frmMain", "frmMain_Hints").
    virtual QString FormName() const = 0;
    virtual void SetFormCaption(const QString& text) = 0;

    // The components the form owns, in the form's component order.
    virtual QList<TLanguageComponent> Components() const = 0;

    // Sets the caption where the named component has one: a button's or label's text, a group
    // box's title, a tab's text, an action's or menu's text, the label attached to an edit.
    // Does nothing for a component without a caption.
    virtual void SetComponentCaption(const QString& name, const QString& text) = 0;
    // The control's hint (its tool tip).
    virtual void SetComponentHint(const QString& name, const QString& text) = 0;
    // The grey text an empty edit shows.
    virtual void SetComponentCueBanner(const QString& name, const QString& text) = 0;
};

// The forms a language dresses, in order. The manager and every language share one list, so the
// user interface may add a form after the languages were made; a form is looked up only when a
// language is applied. The list does not own the forms.
using TLanguageForms = std::shared_ptr<QList<ILanguageForm*>>;
