#include "TUTExportTableObjectData.h"
#include "TUTImportTableObjectData.h"

#include "TUTObject.h"
#include "TUTPackage.h"

std::string TUTExportTableObjectData::GetObjectName() const
{
    return std::string(FPackage->GetName(FObject));
}

std::string TUTExportTableObjectData::GetClassName() const
{
    return FClass == 0 ? std::string() : FPackage->GetObjectPath(1, FClass);
}

std::string TUTExportTableObjectData::GetPackageName() const
{
    return FPackage->GetObjectPath(-1, FGroup);
}

TUTObject* TUTExportTableObjectData::UTObject() const
{
    const auto It = FPackage->FObjects.find(FExportIndex);
    return It != FPackage->FObjects.end() ? It->second.get() : nullptr;
}

TUTObject& TUTExportTableObjectData::GetUTObject()
{
    CreateObject();
    return *UTObject();
}

void TUTExportTableObjectData::CreateObject()
{
    if (UTObject() == nullptr) {
        // Made before its slot is taken: making it may make other objects. Without registered
        // classes every object is a plain one, whatever its class is called.
        const TUTObjectClass Class = ClassRegistry().empty() ? &CreateUTObject<TUTObject>
                                                             : FindUTObjectClass(GetClassName());
        std::unique_ptr<TUTObject> Object = Class(*FPackage, FExportIndex);
        TUTObject& Made = *Object;
        FPackage->ObjectSlot(FExportIndex) = std::move(Object);
        Made.InitializeObject();
    }
}

void TUTExportTableObjectData::FreeObject()
{
    FPackage->FObjects.erase(FExportIndex);
}

std::string TUTImportTableObjectData::GetObjectName() const
{
    return std::string(FPackage->GetName(FObject));
}

std::string TUTImportTableObjectData::GetClassName() const
{
    return std::string(FPackage->GetName(FClass));
}

std::string TUTImportTableObjectData::GetPackageName() const
{
    return FPackage->GetObjectPath(-1, FPackageRef);
}
