#include "TUTObject.h"

#include "TUTPackage.h"
#include "TUTProperty.h"
#include "UTErrors.h"
#include "UTText.h"

namespace {
constexpr std::uint32_t HasStateFrame = 0x02000000;

// The export an object is made for, for failure messages.
std::string ObjectPlace(const TUTObject& Object)
{
    return "Export " + std::to_string(Object.ExportIndex()) + " (" +
           UTEscapeControls(Object.GetObjectName()) + ")";
}
} // namespace

std::vector<TUTClassRegistry>& ClassRegistry()
{
    static std::vector<TUTClassRegistry> Registry;
    return Registry;
}

std::vector<TUTClassEquivalence>& ClassEquivalences()
{
    static std::vector<TUTClassEquivalence> Equivalences;
    return Equivalences;
}

void InitClassEquivalences()
{
    ClassEquivalences().clear();
}

TUTObjectClass FindUTObjectClass(std::string_view ClassName)
{
    std::string Name = UTLowerCase(ClassName);
    for (const TUTClassEquivalence& Equivalence : ClassEquivalences()) {
        if (Equivalence.Alias == Name) {
            Name = Equivalence.ClassName;
            break;
        }
    }
    for (const TUTClassRegistry& Entry : ClassRegistry()) {
        if (Entry.ClassName == Name) {
            return Entry.Class;
        }
    }
    return &CreateUTObject<TUTObject>;
}

TUTObject::TUTObject(TUTPackage& Package, std::int32_t ExportIndex)
    : FPackage(&Package)
    , FExportIndex(ExportIndex)
{}

TUTObject::~TUTObject()
{
    ReleaseObject();
}

void TUTObject::InitializeObject()
{
    FProperties.Clear();
}

void TUTObject::FreeData()
{
    FBuffer.reset();
    FProperties.Clear();
}

void TUTObject::ReadObject(bool ReadProperties)
{
    ++FReadCount;
    if (FLoaded && (!ReadProperties || FPropertiesRead)) {
        return;
    }
    const TUTExportTableObjectData* Export = FPackage->GetExport(FExportIndex);
    if (Export == nullptr) {
        throw EAssertionFailed("Object " + std::to_string(FExportIndex) +
                               " is not in the export table");
    }
    FPackage->OpenStream();
    struct TCloser
    {
        TUTPackage* Package;
        ~TCloser() { Package->CloseStream(); }
    } Closer{FPackage};

    if (!FLoaded) {
        auto Data = std::make_unique<TUTMemoryStream>();
        const std::int64_t Saved = FPackage->GetPosition();
        FDataOffset = Export->SerialOffset();
        if (Export->SerialSize() > 0) {
            try {
                FPackage->CopyObjectData(*Data, FDataOffset, Export->SerialSize());
            } catch (const EReadError& Error) {
                throw EReadError(ObjectPlace(*this) + ": " + Error.what());
            }
        }
        FPackage->Seek(Saved);
        Data->Seek(0);
        FBuffer = std::move(Data);
        FLoaded = true;
    }
    if (ReadProperties && FBuffer->GetSize() > 0) {
        // From the first byte also after an earlier parse failed half-way.
        FBuffer->Seek(0);
        InitializeObject();
        DoReadObject();
        FBytesLeft = FBuffer->GetSize() - FBuffer->GetPosition();
        FBuffer->Seek(0);
        FPropertiesRead = true;
    } else {
        FBytesLeft = -1;
    }
}

void TUTObject::ReleaseObject()
{
    --FReadCount;
    if (FReadCount == 0) {
        if (FLoaded) {
            FreeData();
        }
        FLoaded = false;
        FPropertiesRead = false;
    }
}

void TUTObject::DoReadObject()
{
    const TUTExportTableObjectData* Export = FPackage->GetExport(FExportIndex);
    TUTMemoryStream* Data = FBuffer.get();
    const TUTReadHint Part = TUTReadHint::rhPart;
    const TUTReadHint Value = TUTReadHint::rhValue;
    try {
        if (Export->Flags() & HasStateFrame) {
            const std::int32_t Node = FPackage->ReadIndex(Data, Part, "StateFrame.Node");
            FPackage->ReadIndex(Data, Part, "StateFrame.StateNode");
            FPackage->ReadInt64(Data, Value, "StateFrame.ProbeMask");
            FPackage->ReadDWord(Data, Part, "StateFrame.LatentAction");
            if (Node != 0) {
                FPackage->ReadIndex(Data, Value, "(StateFrame.Node.)?Offset");
            }
        }
    } catch (const EReadError&) {
        throw EReadError(ObjectPlace(*this) + ": its state frame runs past the end of its " +
                         std::to_string(Data->GetSize()) + " bytes of data");
    }
    if (Export->Class() != 0) {
        ReadProperties();
        return;
    }
    if (FPackage->Game() == TUTGame::ugUnreal2 || FPackage->Game() == TUTGame::ugDevastation) {
        try {
            const std::int32_t Count = FPackage->ReadIndex(Data, Value, "Unknown Array Count");
            if (Count > Data->Remaining()) {
                throw EReadError();
            }
            for (std::int32_t I = 0; I < Count; ++I) {
                FPackage->ReadIndex(Data, Part, {});
            }
        } catch (const EReadError&) {
            throw EReadError(ObjectPlace(*this) + ": its class data run past the end of its " +
                             std::to_string(Data->GetSize()) + " bytes");
        }
    }
}

void TUTObject::ReadProperties()
{
    for (;;) {
        TUTProperty& Prop = FProperties.NewProperty();
        Prop.SetOwner(this);
        const bool More = FPackage->ReadProperty(Prop, *FBuffer);
        if (FPackage->OnPropertyRead) {
            FPackage->OnPropertyRead(*FPackage);
        }
        if (!More) {
            break;
        }
    }
    FProperties.FixArrayIndexes();
}

TUTPropertyList& TUTObject::GetProperties()
{
    CheckRead();
    return FProperties;
}

void TUTObject::CheckRead() const
{
    if (!FBuffer) {
        throw EAssertionFailed(GetObjectName() +
                               ": ReadObject was not called for this object! (UT_Packages, line " +
                               std::to_string(__LINE__) + ")");
    }
}

std::string TUTObject::GetObjectName() const
{
    const TUTExportTableObjectData* Export = FPackage->GetExport(FExportIndex);
    return Export != nullptr ? Export->GetObjectName() : std::string();
}

std::string TUTObject::GetClassName() const
{
    const TUTExportTableObjectData* Export = FPackage->GetExport(FExportIndex);
    return Export != nullptr ? Export->GetClassName() : std::string();
}

std::string TUTObject::GetPath() const
{
    return FPackage->GetObjectPath(-1, FExportIndex + 1);
}

std::int32_t TUTObject::GetClassRef() const
{
    const TUTExportTableObjectData* Export = FPackage->GetExport(FExportIndex);
    return Export != nullptr ? Export->Class() : 0;
}

std::int32_t TUTObject::GetSuperRef() const
{
    const TUTExportTableObjectData* Export = FPackage->GetExport(FExportIndex);
    return Export != nullptr ? Export->Super() : 0;
}

std::int32_t TUTObject::GetSerialOffset() const
{
    const TUTExportTableObjectData* Export = FPackage->GetExport(FExportIndex);
    return Export != nullptr ? Export->SerialOffset() : 0;
}

std::int32_t TUTObject::GetSerialSize() const
{
    const TUTExportTableObjectData* Export = FPackage->GetExport(FExportIndex);
    return Export != nullptr ? Export->SerialSize() : 0;
}

std::uint32_t TUTObject::GetFlags() const
{
    const TUTExportTableObjectData* Export = FPackage->GetExport(FExportIndex);
    return Export != nullptr ? Export->Flags() : 0;
}
