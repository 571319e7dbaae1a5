#pragma once

#include <cstdint>
#include <string>

class TUTObject;
class TUTPackage;

// One export-table entry: an object stored in this package. Filled only by the package's table
// reader. The object made for it on first use belongs to the package, which keeps the entries
// themselves plain data.
class TUTExportTableObjectData final
{
public:
    // Inline: a package makes thousands of these at a time.
    TUTExportTableObjectData(TUTPackage* Package, std::int32_t ExportIndex)
        : FPackage(Package)
        , FExportIndex(ExportIndex)
    {}
    ~TUTExportTableObjectData() = default;
    TUTExportTableObjectData(TUTExportTableObjectData&&) noexcept = default;
    TUTExportTableObjectData& operator=(TUTExportTableObjectData&&) noexcept = default;

    TUTPackage* Package() const { return FPackage; }
    std::int32_t SerialOffset() const { return FSerialOffset; }
    std::int32_t Class() const { return FClass; }   // 0 when the object is itself a class
    std::int32_t Object() const { return FObject; } // name index
    std::int32_t SerialSize() const { return FSerialSize; }
    std::int32_t Group() const { return FGroup; }
    std::int32_t Super() const { return FSuper; }
    std::uint32_t Flags() const { return FFlags; }
    std::int32_t ExportIndex() const { return FExportIndex; }
    TUTObject* UTObject() const; // none before GetUTObject

    std::string GetObjectName() const;  // empty when the index is outside the name table
    std::string GetClassName() const;   // own name of the class; empty when Class is 0
    std::string GetPackageName() const; // full dotted path of Group
    // The object of this entry, made on first use with the class the registry gives for the
    // class name. Never fails but for lack of memory.
    TUTObject& GetUTObject();
    void CreateObject();
    void FreeObject();

private:
    friend class TUTPackage;
    TUTPackage* FPackage;
    std::int32_t FSerialOffset = 0;
    std::int32_t FClass = 0;
    std::int32_t FObject = 0;
    std::int32_t FSerialSize = 0;
    std::int32_t FGroup = 0;
    std::int32_t FSuper = 0;
    std::uint32_t FFlags = 0;
    std::int32_t FExportIndex;
};
