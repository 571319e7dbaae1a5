#pragma once

#include "ILanguageForm.h"

#include <QMap>

// A form for the language tests: components as declared, and every text a language set.
class TFakeLanguageForm final : public ILanguageForm
{
public:
    explicit TFakeLanguageForm(const QString& name, const QString& caption = QString())
        : Caption(caption)
        , FName(name)
    {}

    TFakeLanguageForm& AddControl(const QString& name, const QString& caption = QString())
    {
        FComponents.append({name, true, false});
        Captions[name] = caption;
        return *this;
    }
    TFakeLanguageForm& AddEdit(const QString& name)
    {
        FComponents.append({name, true, true});
        return *this;
    }
    // A component that is not a control, such as a menu item or an action.
    TFakeLanguageForm& AddNonVisual(const QString& name, const QString& caption = QString())
    {
        FComponents.append({name, false, false});
        Captions[name] = caption;
        return *this;
    }

    QString FormName() const override { return FName; }
    void SetFormCaption(const QString& text) override
    {
        Caption = text;
        ++CaptionWrites;
    }
    QList<TLanguageComponent> Components() const override { return FComponents; }
    void SetComponentCaption(const QString& name, const QString& text) override
    {
        Captions[name] = text;
    }
    void SetComponentHint(const QString& name, const QString& text) override { Hints[name] = text; }
    void SetComponentCueBanner(const QString& name, const QString& text) override
    {
        CueBanners[name] = text;
    }

    QString Caption;
    int CaptionWrites = 0;
    QMap<QString, QString> Captions;
    QMap<QString, QString> Hints;
    QMap<QString, QString> CueBanners;

private:
    QString FName;
    QList<TLanguageComponent> FComponents;
};
