#include "TUTMap.h"

#include "TKOVASettings.h"

#include "TGameTypes.h"
#include "TMapManager.h"
#include "GamePath.h"
#include "TextCodec.h"
#include "uKOVA_MapCache.h"
#include "uKOVA_Misc.h"

#include "UT_Packages.h"

#include <QFile>

#include <exception>

namespace {

const QString KUnknownText = QStringLiteral("?");

// Package strings end at their first zero, as they do for the game. Code units that no XML
// document can hold (an unpaired surrogate, U+FFFE, U+FFFF) are not text and become U+FFFD.
QString FromUtf16(const std::u16string& units)
{
    const std::size_t end = std::min(units.find(u'\0'), units.size());
    QString text = QString::fromUtf16(units.data(), static_cast<qsizetype>(end));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        } else if (QChar::isSurrogate(c) || c == 0xFFFE || c == 0xFFFF) {
            text[i] = QChar(QChar::ReplacementCharacter);
        }
    }
    return text;
}

QString FromWindows1252(const std::string& bytes)
{
    const std::size_t end = std::min(bytes.find('\0'), bytes.size());
    return DecodeWindows1252(QByteArray(bytes.data(), static_cast<qsizetype>(end)));
}

// The value of a property as text; fails as the reader's decoder.
QString ValueText(const TUTProperty& property)
{
    const TUTValue value = property.GetValue();
    if (const auto* bytes = std::get_if<std::string>(&value))
        return FromWindows1252(*bytes);
    if (const auto* units = std::get_if<std::u16string>(&value))
        return FromUtf16(*units);
    return FromWindows1252(property.GetValueAsString());
}

QString PropertyText(const TUTPropertyList& properties, const char* name, const QString& def)
{
    const TUTProperty* property = properties.GetPropertyByName(name);
    return property ? ValueText(*property) : def;
}

// The file name without folder and without the text from its last ".".
QString NameWithoutExtension(const QString& shortName)
{
    const qsizetype dot = shortName.lastIndexOf(u'.');
    return dot >= 0 ? shortName.left(dot) : shortName;
}

// One ReleaseObject for the ReadObject before it, also when that read failed.
class TReleaseObject final
{
public:
    explicit TReleaseObject(TUTObject& object)
        : FObject(object)
    {}
    ~TReleaseObject() { FObject.ReleaseObject(); }
    TReleaseObject(const TReleaseObject&) = delete;
    TReleaseObject& operator=(const TReleaseObject&) = delete;

private:
    TUTObject& FObject;
};

} // namespace

TUTMap::TUTMap(TMapManager* owner, const TGameTypes* gameTypes, const QString& fileName)
    : FOwner(owner)
    , FFileName(fileName)
    , FShortName(BareFileName(fileName).toString())
{
    if (!TryGetFileSize(fileName, FSize))
        FTitle = FShortName;
    if (gameTypes)
        FGameType = gameTypes->FindForFile(fileName);
}

void TUTMap::SetTexts(const QString& author, const QString& title, const QString& description)
{
    FAuthor = author;
    FTitle = title;
    FDescription = description;
}

QString TUTMap::GetAuthor()
{
    return LazyText(FAuthor);
}

QString TUTMap::GetTitle()
{
    return LazyText(FTitle);
}

QString TUTMap::GetDescription()
{
    return LazyText(FDescription);
}

QString TUTMap::LazyText(const QString& field)
{
    if (!field.isEmpty())
        return field;
    if (!FInfoLoaded)
        LoadInfo();
    // Every text still empty gets its "?" now, so that the next request neither reads the
    // package nor writes the cache again.
    for (QString* text : {&FAuthor, &FTitle, &FDescription}) {
        if (text->isEmpty())
            *text = KUnknownText;
    }
    SaveToCache();
    return field;
}

void TUTMap::LoadInfo()
{
    FInfoLoaded = true;
    const QString bareTitle = NameWithoutExtension(FShortName);
    try {
        // The package lives for this read only, so a map holds no tables or object data
        // between reads.
        TUTPackage package;
        package.LoadFromFile(QFile::encodeName(ResolveGamePath(FFileName)).toStdString());
        const int index = package.FindObject(TUTFindKind::fkExport, TUTFindFields::ffObjectName, "",
                                             "LevelSummary", "", 0);
        if (index < 0)
            return;
        TUTObject& summary = package.GetExport(index)->GetUTObject();
        const TReleaseObject release(summary);
        summary.ReadObject(true);
        const TUTPropertyList& properties = summary.GetProperties();
        QString author = PropertyText(properties, "Author", KUnknownText);
        QString title = PropertyText(properties, "Title", bareTitle);
        QString description = PropertyText(properties, "Description", KUnknownText);
        SetTexts(author, title, description);
    } catch (const std::exception&) {
        SetTexts(KUnknownText, bareTitle, KUnknownText);
    }
}

void TUTMap::SaveToCache()
{
    if (!FOwner)
        return;
    const TKOVASettings* settings = FOwner->Settings();
    if (!settings || !settings->EnableMapManagerCache || FOwner->CacheFile().isEmpty())
        return;
    // The texts are read again from the package next time: nothing is lost but time.
    if (const TResult<void> saved =
            UpdateMapCacheItem(FOwner->CacheFile(), {FFileName, FAuthor, FTitle, FDescription});
        !saved)
        qWarning("%s", qUtf8Printable(saved.Error().Message));
}
