#include "TLanguage.h"

#include "AtomicFile.h"
#include "TIniFile.h"
#include "TextCodec.h"

#include <QFileInfo>
#include <QtGlobal>

#include <algorithm>

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

TResult<void> TLanguage::Check() const
{
    const auto unusable = [this](TErrorCode code, const QString& reason) {
        return TError{
            code,
            QStringLiteral("The language file \"%1\" cannot be used: %2.").arg(FFileName, reason),
            FFileName};
    };
    QByteArray bytes;
    QString error;
    if (!ReadWholeFile(FFileName, bytes, &error))
        return unusable(TErrorCode::ecFailed,
                        QStringLiteral("it could not be read (%1)").arg(error));
    if (bytes.trimmed().isEmpty())
        return unusable(TErrorCode::ecInvalid, QStringLiteral("it is empty"));
    // Text has no control characters but line breaks, tabs, form feeds and an old end-of-file
    // mark.
    const QString text = DecodeText(bytes);
    const bool binary = std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r' && c != u'\f' &&
               c.unicode() != 0x1a;
    });
    if (binary)
        return unusable(TErrorCode::ecInvalid, QStringLiteral("it is not a text file"));
    const TIniFile ini(FFileName);
    if (ini.ReadValue(KLanguageSection, QStringLiteral("Language")).value_or(QString()).isEmpty())
        return unusable(TErrorCode::ecInvalid,
                        QStringLiteral("it names no language (section [%1] has no \"%2=\" line); "
                                       "it may be cut short")
                            .arg(KLanguageSection, QStringLiteral("Language")));
    if (!ini.SectionExists(KDialogsSection))
        return unusable(TErrorCode::ecInvalid,
                        QStringLiteral("it holds no messages (section [%1] is missing or empty); "
                                       "it may be cut short")
                            .arg(KDialogsSection));
    return {};
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
