#pragma once

// Reads everything a caller could ask of a loaded package: every export's path, class and
// package names, its properties with their texts and values, and every import's path. Only
// reader failures may come out of a damaged package; the damaged-file tests and the fuzz target
// both walk packages this way.

#include "UT_Packages.h"

inline void ReadEverything(TUTPackage& Package)
{
    for (int I = 0; I < Package.GetExportCount(); ++I) {
        TUTExportTableObjectData* Export = Package.GetExport(I);
        Package.GetObjectPath(-1, I + 1);
        Export->GetClassName();
        Export->GetPackageName();
        TUTObject& Object = Export->GetUTObject();
        try {
            Object.ReadObject(true);
            for (const auto& Prop : Object.GetProperties().Items()) {
                try {
                    Prop->GetDescription();
                    Prop->GetValue();
                } catch (const EUTReaderError&) {
                }
            }
        } catch (const EUTReaderError&) {
        }
        Object.ReleaseObject();
    }
    for (int I = 0; I < Package.GetImportCount(); ++I) {
        Package.GetObjectPath(-1, -I - 1);
        Package.GetImport(I)->GetClassName();
    }
}
