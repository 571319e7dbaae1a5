#include "TUTExportTableObjectData.h"
#include "TUTImportTableObjectData.h"

#include "TUTObject.h"
#include "TUTPackage.h"

TUTExportTableObjectData::TUTExportTableObjectData(TUTPackage* Package, std::int32_t ExportIndex)
    : FPackage(Package), FExportIndex(ExportIndex)
{}

TUTExportTableObjectData::~TUTExportTableObjectData() = default;
TUTExportTableObjectData::TUTExportTableObjectData(TUTExportTableObjectData&&) noexcept = default;
TUTExportTableObjectData&
TUTExportTableObjectData::operator=(TUTExportTableObjectData&&) noexcept = default;

std::string TUTExportTableObjectData::GetObjectName() const
{
    return FPackage->GetName(FObject);
}

std::string TUTExportTableObjectData::GetClassName() const
{
    return FClass == 0 ? std::string() : FPackage->GetObjectPath(1, FClass);
}

std::string TUTExportTableObjectData::GetPackageName() const
{
    return FPackage->GetObjectPath(-1, FGroup);
}

TUTObject& TUTExportTableObjectData::GetUTObject()
{
    CreateObject();
    return *FUTObject;
}

void TUTExportTableObjectData::CreateObject()
{
    if (!FUTObject) {
        FUTObject = FindUTObjectClass(GetClassName())(*FPackage, FExportIndex);
        FUTObject->InitializeObject();
    }
}

void TUTExportTableObjectData::FreeObject()
{
    FUTObject.reset();
}

std::string TUTImportTableObjectData::GetObjectName() const
{
    return FPackage->GetName(FObject);
}

std::string TUTImportTableObjectData::GetClassName() const
{
    return FPackage->GetName(FClass);
}

std::string TUTImportTableObjectData::GetPackageName() const
{
    return FPackage->GetObjectPath(-1, FPackageRef);
}
