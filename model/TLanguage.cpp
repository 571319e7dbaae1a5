#include "TLanguage.h"

#include "TIniFile.h"

#include <QFileInfo>
#include <QtGlobal>

namespace {

const QString KLanguageSection = QStringLiteral("Language");
const QString KDialogsSection = QStringLiteral("Dialogs");
const QString KHintsSuffix = QStringLiteral("_Hints");
const QString KCaptionKey = QStringLiteral("Caption");
const QString KUnknown = QStringLiteral("(UNKNOWN)");

// A present key with an empty value is an empty text; only a missing key takes the default.
QString ReadWithDefault(const TIniFile& ini, const QString& ident, const QString& def)
{
    return ini.ReadValue(KLanguageSection, ident).value_or(def);
}

} // namespace

TLanguage::TLanguage(TLanguageForms forms, const QString& fileName, bool apply)
    : FForms(std::move(forms))
    , FFileName(fileName)
    , FLanguageName(KUnknown)
    , FAuthor(KUnknown)
{
    if (QFileInfo(FFileName).isFile()) {
        const TIniFile ini(FFileName);
        FLanguageName = ReadWithDefault(ini, QStringLiteral("Language"), KUnknown);
        FAuthor = ReadWithDefault(ini, QStringLiteral("Author"), KUnknown);
        FReadme = ReadWithDefault(ini, QStringLiteral("Readme"), QStringLiteral("Readme.htm"));
        FChangelog =
            ReadWithDefault(ini, QStringLiteral("Changelog"), QStringLiteral("Changes.txt"));
    }
    if (apply)
        ApplyToForms(FFileName);
}

QString TLanguage::GetDialogString(TDialogType index) const
{
    const QString key = DialogTypeName(index);
    if (key.isEmpty())
        return QString();
    return TIniFile(FFileName).ReadString(KDialogsSection, key, QString());
}

void TLanguage::ApplyToForms(const QString& fileName)
{
    const TIniFile ini(fileName);
    const QList<ILanguageForm*> forms = FForms ? *FForms : QList<ILanguageForm*>();
    for (ILanguageForm* form : forms) {
        if (!form) {
            qCritical("TLanguage::ApplyToForms: the form list holds an empty entry");
            return;
        }
        const QString section = form->FormName();
        const QString hintSection = section + KHintsSuffix;
        if (const auto caption = ini.ReadValue(section, KCaptionKey))
            form->SetFormCaption(*caption);

        for (const TLanguageComponent& component : form->Components()) {
            if (component.Name.isEmpty())
                continue;
            const QString caption = ini.ReadString(section, component.Name, QString());
            if (!caption.isEmpty())
                form->SetComponentCaption(component.Name, caption);
            if (!component.Visual)
                continue;
            const QString hint = ini.ReadString(hintSection, component.Name, QString());
            if (hint.isEmpty())
                continue;
            form->SetComponentHint(component.Name, hint);
            if (component.Edit)
                form->SetComponentCueBanner(component.Name, hint);
        }
    }
    if (FOnLanguageLoaded)
        FOnLanguageLoaded(this);
}

void TLanguage::Apply()
{
    ApplyToForms(FFileName);
}
