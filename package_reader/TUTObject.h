#pragma once

#include "TUTPropertyList.h"
#include "TUTStream.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TUTPackage;

// An exported object of a package. Its data bytes are read on demand and parsed into tagged
// properties; every ReadObject must be paired with one ReleaseObject, and the bytes are freed
// when the last reader releases them.
class TUTObject
{
public:
    TUTObject(TUTPackage& Package, std::int32_t ExportIndex);
    virtual ~TUTObject();
    TUTObject(const TUTObject&) = delete;
    TUTObject& operator=(const TUTObject&) = delete;

    // Loads the data bytes and, when asked, parses the properties; counts one more reader
    // (also when it fails). A failure while the bytes are copied (EReadError, EFOpenError)
    // or parsed (EReadingUTProperty, EReadError) reaches the caller; a failed parse starts
    // again from the first byte at the next call.
    void ReadObject(bool ReadProperties);
    // Drops one reader; the last one frees the data.
    void ReleaseObject();
    // The parsed properties; EAssertionFailed when the object was not read.
    TUTPropertyList& GetProperties();
    // EAssertionFailed when the data are not loaded.
    void CheckRead() const;

    std::string GetObjectName() const;
    std::string GetClassName() const;
    std::string GetPath() const;
    std::int32_t GetClassRef() const;
    std::int32_t GetSuperRef() const;
    std::int32_t GetSerialOffset() const;
    std::int32_t GetSerialSize() const;
    std::uint32_t GetFlags() const;

    std::int64_t DataOffset() const { return FDataOffset; }
    TUTPackage& Package() const { return *FPackage; }
    std::int32_t ExportIndex() const { return FExportIndex; }
    bool Loaded() const { return FLoaded; }
    bool PropertiesRead() const { return FPropertiesRead; }
    int ReadCount() const { return FReadCount; }
    TUTMemoryStream* Buffer() const { return FBuffer.get(); }
    std::int64_t BytesLeft() const { return FBytesLeft; }

    // Definition data for the value decoder, which object classes of particular engine classes
    // provide; a plain object provides none, and the decoder then treats the definition as not
    // found. References are those of the object's own package.
    virtual bool ProvidesDefinition() const { return false; }
    virtual std::int32_t GetInnerProperty() const { return 0; } // array property
    virtual std::int32_t GetPropertyClass() const { return 0; } // object, class, struct property
    virtual std::string GetStructName() const { return {}; }    // struct
    virtual std::int32_t GetFirstChild() const { return 0; }    // struct
    virtual std::int32_t GetNextField() const { return 0; }     // any field
    virtual bool IsPropertyDefinition() const { return false; } // any field
    virtual std::string GetOwnTypeName() const { return {}; }   // any field

protected:
    friend class TUTExportTableObjectData;
    virtual void InitializeObject();
    virtual void DoReadObject();
    virtual void FreeData();
    virtual void ReadProperties();

private:
    std::int64_t FDataOffset = 0;
    TUTPackage* FPackage;
    std::int32_t FExportIndex;
    bool FLoaded = false;
    bool FPropertiesRead = false;
    int FReadCount = 0;
    TUTPropertyList FProperties;
    std::unique_ptr<TUTMemoryStream> FBuffer;
    std::int64_t FBytesLeft = -1;
};

// Makes the object for an export; the class registry maps class names to these.
using TUTObjectClass = std::unique_ptr<TUTObject> (*)(TUTPackage& Package,
                                                      std::int32_t ExportIndex);

template <class T>
std::unique_ptr<TUTObject> CreateUTObject(TUTPackage& Package, std::int32_t ExportIndex)
{
    return std::make_unique<T>(Package, ExportIndex);
}

struct TUTClassRegistry
{
    std::string ClassName; // lower case
    TUTObjectClass Class;
};

struct TUTClassEquivalence
{
    std::string Alias; // lower case
    std::string ClassName;
};

// Object classes by engine class name, and aliases of class names; both empty unless a caller
// registers one, so every object is a plain TUTObject.
std::vector<TUTClassRegistry>& ClassRegistry();
std::vector<TUTClassEquivalence>& ClassEquivalences();
void InitClassEquivalences();

// The object class for an export of ClassName: the registered one, else TUTObject.
TUTObjectClass FindUTObjectClass(std::string_view ClassName);

// Property names whose element 0 is known to be an array element although written alone.
inline constexpr std::string_view KnownArrayNames[] = {
    "paths",
    "visnoreachpaths",
    "upstreampaths",
    "prunedpaths",
    "aiprofile",
    "multiskins",
    "lensaflare",
    "lensflareoffset",
    "lensflarescale",
    "delay",
    "gain",
    "outevents",
    "outdelays",
    "objshots",
    "objdesc",
    "damageevent",
    "damageeventthreshold",
    "tags",
    "events",
    "opentimes",
    "closetimes",
    "splats",
    "internaltime",
};
