#pragma once

// The package reader: reads the game's package files (maps, code, textures, sounds, ...)
// read-only. Standard C++ only.
//
// A map's title, author and description:
//
//     TUTPackage Package;
//     Package.LoadFromFile(Path);                          // the game is detected
//     const int Index = Package.FindObject(TUTFindKind::fkExport, TUTFindFields::ffObjectName,
//                                          "", "LevelSummary", "", 0); // any letter case
//     if (Index >= 0) {
//         TUTObject& Summary = Package.GetExport(Index)->GetUTObject();
//         Summary.ReadObject(true);
//         // ... Summary.GetProperties().GetPropertyByName("Title")->GetValue() ...
//         Summary.ReleaseObject();                         // also when reading failed
//     }
//
// String values come as std::string (8-bit bytes as stored, Windows-1252 in this game) or, for
// strings the game stored as UTF-16LE, as std::u16string; see TUTValue. Every failure derives
// from EUTReaderError and says where in the file it happened.

#include "TUTExportTableObjectData.h"
#include "TUTImportTableObjectData.h"
#include "TUTObject.h"
#include "TUTPackage.h"
#include "TUTProperty.h"
#include "TUTPropertyList.h"
#include "TUTStream.h"
#include "UTErrors.h"
#include "UTKnownTypes.h"
