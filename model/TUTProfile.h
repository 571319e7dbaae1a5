#pragma once

#include "TResult.h"

#include <QString>
#include <QUuid>

// One "User.ini" profile file. A profile is managed when its section "UT2004KOVA" holds both
// "ProfileName" and "ID"; any other existing file is the unmanaged default profile.
//
// Nothing is cached: every test and read opens the INI file afresh (through the INI layer's
// parse cache).
class TUTProfile final
{
public:
    // A profile object for FileName, reading its name and identifier from the file. Loading an
    // identifier of "create" writes a new one into the file; a failure there leaves the zero GUID.
    explicit TUTProfile(const QString& fileName);
    // A profile object for FileName taking name, identifier and default flag from Source instead
    // of reading the file. Without a Source it is the same as the constructor above.
    TUTProfile(const QString& fileName, const TUTProfile* source);

    // The file's section, value names and marker texts.
    static const QString KSection;     // "UT2004KOVA"
    static const QString KNameKey;     // "ProfileName"
    static const QString KIDKey;       // "ID"
    static const QString KDefaultName; // "(DEFAULT)"
    static const QString KUnnamedName; // "Unnamed Profile"

    // The identifier's text as the game's platform writes it: braces, upper-case hex digits.
    static QString GuidToString(const QUuid& id);
    // Parses that text (hex digits in either case); the zero GUID when it is not one.
    static QUuid StringToGuid(const QString& text);

    // False when the file did not exist at creation or at the last RefreshState.
    bool IsManaged() const;
    // "(DEFAULT)" for an unmanaged file (and sets IsDefault), else the stored name, a stored
    // "(DEFAULT)" reading as "Unnamed Profile".
    QString ReadName();
    // ID := the stored identifier; the zero GUID for an unmanaged file or a text that does not
    // parse. Never raises.
    void LoadID();
    // Writes the name and the current identifier into the file and sets Name. Fails when the
    // file cannot be written (Name is then unchanged).
    TResult<void> SetName(const QString& name);
    // Exists := whether the file exists now; Name read again (empty for a missing file).
    void RefreshState();
    // A new identifier, written into the file when it is managed. Fails when that write fails
    // (ID then already holds the new identifier).
    TResult<void> NewID();

    QString FileName;
    QString Name;
    bool Exists = false;
    bool IsDefault = false; // the pages may set it directly
    QUuid ID;
};
