#pragma once

#include <QPointer>
#include <QWidget>

#include "ILanguageForm.h"

// Lets a language dress a Qt form: components are the form's named descendants (widgets,
// actions, menus), found by object name as the language files address them.
class TQtLanguageForm final : public ILanguageForm
{
public:
    // Form's object name is the form name of the language file ("frmMain").
    explicit TQtLanguageForm(QWidget* form);

    QString FormName() const override;
    void SetFormCaption(const QString& text) override;
    QList<TLanguageComponent> Components() const override;
    void SetComponentCaption(const QString& name, const QString& text) override;
    void SetComponentHint(const QString& name, const QString& text) override;
    void SetComponentCueBanner(const QString& name, const QString& text) override;

    // The hint a language gave a control (its tool tip may be dressed up from it).
    static QString HintOf(const QWidget* widget);

private:
    QObject* Find(const QString& name) const;
    QPointer<QWidget> FForm;
};
