#pragma once

#include <cstdint>
#include <string>

class TUTPackage;

// One import-table entry: an object this package takes from another one. Filled only by the
// package's table reader.
class TUTImportTableObjectData final
{
public:
    explicit TUTImportTableObjectData(TUTPackage* Package)
        : FPackage(Package)
    {}

    TUTPackage* Package() const { return FPackage; }
    std::int32_t Object() const { return FObject; }             // name index of the object name
    std::int32_t ClassPackage() const { return FClassPackage; } // name index
    std::int32_t Class() const { return FClass; }               // name index of the class name
    std::int32_t PackageRef() const { return FPackageRef; } // reference of the enclosing package

    // Name-table texts; empty when an index is outside the name table.
    std::string GetObjectName() const;
    std::string GetClassName() const;
    // Full dotted path of the enclosing package; empty for an invalid reference.
    std::string GetPackageName() const;

private:
    friend class TUTPackage;
    TUTPackage* FPackage;
    std::int32_t FObject = 0;
    std::int32_t FClassPackage = 0;
    std::int32_t FClass = 0;
    std::int32_t FPackageRef = 0;
};
