#include "TKOVALanguage.h"

#include "FileMask.h"
#include "GamePath.h"

#include <QDir>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

QString ComparablePath(const QString& path)
{
    QString result = path;
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::cleanPath(result);
}

QString FileNamePart(const QString& path)
{
    const qsizetype slash =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(slash + 1);
}

[[noreturn]] void RaiseIndexError(int index)
{
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
}

} // namespace

TKOVALanguage::TKOVALanguage(TLanguageForms forms, const QString& dir, const QString& prefix)
    : TKOVALanguage(std::move(forms), QStringList{dir}, prefix)
{}

TKOVALanguage::TKOVALanguage(TLanguageForms forms, const QStringList& dirs, const QString& prefix)
    : FForms(std::move(forms))
    , FPrefix(prefix)
{
    const QString lead = FPrefix + QLatin1Char('.');
    for (const QString& dir : dirs) {
        const QString folder = WithTrailingSeparator(dir);
        for (const QString& name :
             ListFolder(folder, lead + QLatin1Char('*'), TListKind::lkFiles)) {
            // The mask also matches a bare "Lang", which names no language code.
            if (!name.startsWith(lead, Qt::CaseInsensitive))
                continue;
            auto language = std::make_unique<TLanguage>(FForms, folder + name, false);
            language->SetOnLanguageLoaded(FOnLanguageLoaded);
            const auto same = std::find_if(FItems.begin(), FItems.end(), [&](const auto& item) {
                return FileNamePart(item->FileName()).compare(name, Qt::CaseInsensitive) == 0;
            });
            if (same != FItems.end())
                *same = std::move(language);
            else
                FItems.push_back(std::move(language));
        }
    }
}

TLanguage* TKOVALanguage::GetLanguage(int index) const
{
    if (index < 0 || index >= GetCount())
        RaiseIndexError(index);
    return FItems[static_cast<size_t>(index)].get();
}

TLanguage* TKOVALanguage::GetCurrentLanguage() const
{
    return GetLanguage(FItemIndex);
}

QStringList TKOVALanguage::ListNames() const
{
    QStringList names;
    for (const auto& language : FItems)
        names.append(language->LanguageName());
    return names;
}

void TKOVALanguage::SetOnLanguageLoaded(const TLanguageLoadedEvent& event)
{
    FOnLanguageLoaded = event;
    for (const auto& language : FItems)
        language->SetOnLanguageLoaded(event);
}

void TKOVALanguage::Add(std::unique_ptr<TLanguage> language)
{
    if (language)
        FItems.push_back(std::move(language));
}

int TKOVALanguage::IndexOfFile(const QString& fileName) const
{
    const QString wanted = ComparablePath(fileName);
    for (int i = 0; i < GetCount(); ++i)
        if (ComparablePath(FItems[static_cast<size_t>(i)]->FileName())
                .compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString TKOVALanguage::LanguageCodeOf(const QString& fileName, const QString& prefix)
{
    const QString name = FileNamePart(fileName);
    const QString lead = prefix + QLatin1Char('.');
    if (name.startsWith(lead, Qt::CaseInsensitive))
        return name.mid(lead.size());
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QString TKOVALanguage::GetLanguageCode(int index) const
{
    return LanguageCodeOf(GetLanguage(index)->FileName(), FPrefix);
}

int TKOVALanguage::IndexOfCode(const QString& code) const
{
    const QString wanted = FPrefix + QLatin1Char('.') + code;
    for (int i = 0; i < GetCount(); ++i)
        if (FileNamePart(FItems[static_cast<size_t>(i)]->FileName())
                .compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}
