#include "TGameTypes.h"

#include "TKOVASettings.h"

#include "uKOVA_XML.h"

TGameTypes::TGameTypes(TSettingsRef settingsRef)
    : FSettingsRef(std::move(settingsRef))
{
    // The settings were read from the same file a moment ago; only a file changed meanwhile
    // fails here.
    if (const TResult<void> loaded = Load(); !loaded)
        qWarning("%s", qUtf8Printable(loaded.Error().Message));
}

TResult<void> TGameTypes::Load()
{
    FItems.clear();
    const TKOVASettings* settings = FSettingsRef.Get();
    if (!settings)
        return {};
    pugi::xml_document doc;
    try {
        LoadXMLDocument(settings->FileName, doc);
    } catch (const EXMLFileError& error) {
        return ErrorFrom(error, settings->FileName);
    }
    const pugi::xml_node root = doc.document_element();
    if (QLatin1String(root.name()) != QLatin1String("kovasettings"))
        return {};
    const pugi::xml_node gameTypes = FindXMLChild(root, QStringLiteral("gametypes"));
    for (pugi::xml_node child : gameTypes.children()) {
        if (child.type() != pugi::node_element)
            continue;
        FItems.push_back(std::make_unique<TMapGameType>(
            XMLNodeText(child), QString::fromUtf8(child.attribute("mask").value())));
    }
    return {};
}

const TMapGameType* TGameTypes::GetItem(int index) const
{
    return index >= 0 && index < GetCount() ? FItems[static_cast<std::size_t>(index)].get()
                                            : nullptr;
}

const TMapGameType* TGameTypes::FindForFile(QStringView fileName) const
{
    const QStringView bareName = BareFileName(fileName);
    for (const auto& item : FItems) {
        if (item->Matches(bareName))
            return item.get();
    }
    return nullptr;
}

const TMapGameType* TGameTypes::FindByText(const QString& s) const
{
    if (s.isEmpty())
        return nullptr;
    // The exact name first: a name contained in an earlier game type's name ("Deathmatch" in
    // "Team Deathmatch") must still find its own game type.
    for (const auto& item : FItems) {
        if (item->Name() == s)
            return item.get();
    }
    for (const auto& item : FItems) {
        if (item->Name().contains(s) || item->Mask().contains(s))
            return item.get();
    }
    return nullptr;
}

QStringList TGameTypes::ListNames() const
{
    QStringList names;
    for (const auto& item : FItems)
        names.append(item->Name());
    return names;
}

QStringView BareFileName(QStringView fileName)
{
    for (qsizetype i = fileName.size() - 1; i >= 0; --i) {
        const QChar c = fileName[i];
        if (c == u'/' || c == u'\\' || c == u':')
            return fileName.sliced(i + 1);
    }
    return fileName;
}
