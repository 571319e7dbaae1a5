#include "TUTProfile.h"

#include "uKOVA_Misc.h"

#include <QFileInfo>

const QString TUTProfile::KSection = QStringLiteral("UT2004KOVA");
const QString TUTProfile::KNameKey = QStringLiteral("ProfileName");
const QString TUTProfile::KIDKey = QStringLiteral("ID");
const QString TUTProfile::KDefaultName = QStringLiteral("(DEFAULT)");
const QString TUTProfile::KUnnamedName = QStringLiteral("Unnamed Profile");

namespace {

bool IsRegularFile(const QString& fileName)
{
    return QFileInfo(fileName).isFile();
}

} // namespace

TUTProfile::TUTProfile(const QString& fileName)
    : TUTProfile(fileName, nullptr)
{}

TUTProfile::TUTProfile(const QString& fileName, const TUTProfile* source)
    : FileName(fileName)
    , Exists(IsRegularFile(fileName))
{
    if (source) {
        IsDefault = source->IsDefault;
        Name = source->Name;
        ID = source->ID;
        return;
    }
    if (Exists)
        Name = ReadName();
    LoadID();
}

QString TUTProfile::GuidToString(const QUuid& id)
{
    return id.toString(QUuid::WithBraces).toUpper();
}

QUuid TUTProfile::StringToGuid(const QString& text)
{
    // Only the braced 38-character form is an identifier; QUuid alone would also take it bare.
    if (text.size() != 38 || !text.startsWith(QLatin1Char('{')) || !text.endsWith(QLatin1Char('}')))
        return {};
    return QUuid::fromString(text);
}

bool TUTProfile::IsManaged() const
{
    if (!Exists)
        return false;
    const TIniFile ini(FileName);
    return ini.ValueExists(KSection, KNameKey) && ini.ValueExists(KSection, KIDKey);
}

QString TUTProfile::ReadName()
{
    if (!IsManaged()) {
        IsDefault = true;
        return KDefaultName;
    }
    const QString name = ReadIniValue(KNameKey, KSection, FileName);
    // A stored "(DEFAULT)" would pass for the unmanaged entry.
    return name == KDefaultName ? KUnnamedName : name;
}

void TUTProfile::LoadID()
{
    if (!IsManaged()) {
        ID = QUuid();
        return;
    }
    // The file being managed, NewID writes the new identifier.
    if (ReadIniValue(KIDKey, KSection, FileName)
                .compare(QLatin1String("create"), Qt::CaseInsensitive) == 0 &&
        !NewID()) {
        ID = QUuid();
        return;
    }
    ID = StringToGuid(ReadIniValue(KIDKey, KSection, FileName));
}

TResult<void> TUTProfile::SetName(const QString& name)
{
    try {
        WriteIniValue(name, KNameKey, KSection, FileName);
        WriteIniValue(GuidToString(ID), KIDKey, KSection, FileName);
    } catch (const EIniFileException& error) {
        return ErrorFrom(error, FileName);
    }
    Name = name;
    return {};
}

void TUTProfile::RefreshState()
{
    Exists = IsRegularFile(FileName);
    Name = Exists ? ReadName() : QString();
}

TResult<void> TUTProfile::NewID()
{
    ID = QUuid::createUuid();
    if (!IsManaged())
        return {};
    try {
        WriteIniValue(GuidToString(ID), KIDKey, KSection, FileName);
    } catch (const EIniFileException& error) {
        return ErrorFrom(error, FileName);
    }
    return {};
}
