#include "TPackageWriter.h"

#include <bit>
#include <cstring>
#include <fstream>
#include <utility>

TByteWriter& TByteWriter::Byte(std::uint8_t Value)
{
    FData.push_back(Value);
    return *this;
}

TByteWriter& TByteWriter::Word(std::uint16_t Value)
{
    Byte(static_cast<std::uint8_t>(Value));
    return Byte(static_cast<std::uint8_t>(Value >> 8));
}

TByteWriter& TByteWriter::DWord(std::uint32_t Value)
{
    Word(static_cast<std::uint16_t>(Value));
    return Word(static_cast<std::uint16_t>(Value >> 16));
}

TByteWriter& TByteWriter::Int64(std::int64_t Value)
{
    DWord(static_cast<std::uint32_t>(Value));
    return DWord(static_cast<std::uint32_t>(static_cast<std::uint64_t>(Value) >> 32));
}

TByteWriter& TByteWriter::Float(float Value)
{
    return DWord(std::bit_cast<std::uint32_t>(Value));
}

TByteWriter& TByteWriter::Index(std::int32_t Value)
{
    return Bytes(EncodeCompactIndex(Value));
}

TByteWriter& TByteWriter::Bytes(const TBytes& Value)
{
    FData.insert(FData.end(), Value.begin(), Value.end());
    return *this;
}

TByteWriter& TByteWriter::Chars(std::string_view Value)
{
    FData.insert(FData.end(), Value.begin(), Value.end());
    return *this;
}

TBytes EncodeCompactIndex(std::int32_t Value)
{
    TBytes Out;
    std::uint32_t V =
        Value < 0 ? 0u - static_cast<std::uint32_t>(Value) : static_cast<std::uint32_t>(Value);
    std::uint8_t B0 = static_cast<std::uint8_t>((Value < 0 ? 0x80 : 0) | (V & 0x3F));
    V >>= 6;
    if (V != 0) {
        B0 |= 0x40;
    }
    Out.push_back(B0);
    for (int I = 0; I < 3 && V != 0; ++I) {
        std::uint8_t B = V & 0x7F;
        V >>= 7;
        if (V != 0) {
            B |= 0x80;
        }
        Out.push_back(B);
    }
    if (V != 0) {
        Out.push_back(static_cast<std::uint8_t>(V));
    }
    return Out;
}

int TPackageWriter::Name(std::string_view Name)
{
    const auto [It, Added] =
        FNameIndex.try_emplace(std::string(Name), static_cast<int>(FNames.size()));
    if (Added) {
        FNames.emplace_back(Name);
    }
    return It->second;
}

std::int32_t TPackageWriter::AddImport(std::string_view ClassPackage, std::string_view ClassName,
                                       std::int32_t PackageRef, std::string_view ObjectName)
{
    Name(ClassPackage);
    Name(ClassName);
    Name(ObjectName);
    FImports.push_back(
        {std::string(ClassPackage), std::string(ClassName), PackageRef, std::string(ObjectName)});
    return -static_cast<std::int32_t>(FImports.size());
}

std::int32_t TPackageWriter::ImportPackage(std::string_view PackageName)
{
    for (std::size_t I = 0; I < FImports.size(); ++I) {
        if (FImports[I].ClassName == "Package" && FImports[I].ObjectName == PackageName &&
            FImports[I].PackageRef == 0) {
            return -static_cast<std::int32_t>(I + 1);
        }
    }
    return AddImport("Core", "Package", 0, PackageName);
}

std::int32_t TPackageWriter::ImportClass(std::string_view PackageName, std::string_view ClassName)
{
    const std::int32_t Package = ImportPackage(PackageName);
    for (std::size_t I = 0; I < FImports.size(); ++I) {
        if (FImports[I].ClassName == "Class" && FImports[I].ObjectName == ClassName &&
            FImports[I].PackageRef == Package) {
            return -static_cast<std::int32_t>(I + 1);
        }
    }
    return AddImport("Core", "Class", Package, ClassName);
}

std::int32_t TPackageWriter::AddExport(std::int32_t Class, std::string_view ObjectName, TBytes Data,
                                       std::int32_t Group)
{
    Name(ObjectName);
    TWriterExport Export;
    Export.Class = Class;
    Export.Group = Group;
    Export.ObjectName = std::string(ObjectName);
    Export.Data = std::move(Data);
    FExports.push_back(std::move(Export));
    return static_cast<std::int32_t>(FExports.size());
}

TBytes TPackageWriter::Build()
{
    Name("None");
    auto NameIndex = [this](const std::string& S) { return static_cast<std::int32_t>(Name(S)); };

    TByteWriter NameTable;
    for (const std::string& N : FNames) {
        if (SecondLengthByte) {
            NameTable.Byte(static_cast<std::uint8_t>(N.size())).Byte(0xEE).Chars(N).Byte(0);
        } else if (Version >= 64) {
            NameTable.Byte(static_cast<std::uint8_t>(N.size() + 1)).Chars(N).Byte(0);
        } else {
            NameTable.Chars(N).Byte(0);
        }
        NameTable.DWord(0x00070010);
    }

    std::size_t HeaderSize = 36;
    if (Version < 68) {
        HeaderSize += 8;
    } else {
        HeaderSize +=
            (WithMarker ? 5 : 0) + 16 + 4 + 8 * static_cast<std::size_t>(1 + ExtraGenerations);
    }
    const std::size_t NameOffset = HeaderSize;
    std::size_t Cursor = NameOffset + NameTable.Size();
    std::size_t HeritageOffset = 0;
    if (Version < 68) {
        HeritageOffset = Cursor;
        Cursor += 16;
    }
    std::vector<std::size_t> DataOffsets;
    for (const TWriterExport& Export : FExports) {
        DataOffsets.push_back(Cursor);
        Cursor += Export.Data.size();
    }

    TByteWriter ImportTable;
    for (const TWriterImport& Import : FImports) {
        ImportTable.Index(NameIndex(Import.ClassPackage))
            .Index(NameIndex(Import.ClassName))
            .DWord(static_cast<std::uint32_t>(Import.PackageRef))
            .Index(NameIndex(Import.ObjectName));
    }
    const std::size_t ImportOffset = Cursor;
    Cursor += ImportTable.Size();

    TByteWriter ExportTable;
    for (std::size_t I = 0; I < FExports.size(); ++I) {
        const TWriterExport& Export = FExports[I];
        const std::int32_t Size =
            Export.SerialSizeOverride.value_or(static_cast<std::int32_t>(Export.Data.size()));
        ExportTable.Index(Export.Class)
            .Index(Export.Super)
            .DWord(static_cast<std::uint32_t>(Export.Group))
            .Index(NameIndex(Export.ObjectName))
            .DWord(Export.Flags)
            .Index(Size);
        if (Size > 0) {
            ExportTable.Index(
                Export.SerialOffsetOverride.value_or(static_cast<std::int32_t>(DataOffsets[I])));
        }
    }
    const std::size_t ExportOffset = Cursor;

    TByteWriter Out;
    Out.DWord(0x9E2A83C1).Word(Version).Word(LicenseeMode).DWord(Flags);
    Out.DWord(static_cast<std::uint32_t>(FNames.size()))
        .DWord(static_cast<std::uint32_t>(NameOffset));
    Out.DWord(static_cast<std::uint32_t>(FExports.size()))
        .DWord(static_cast<std::uint32_t>(ExportOffset));
    Out.DWord(static_cast<std::uint32_t>(FImports.size()))
        .DWord(static_cast<std::uint32_t>(ImportOffset));
    if (Version < 68) {
        Out.DWord(1).DWord(static_cast<std::uint32_t>(HeritageOffset));
    } else {
        if (WithMarker) {
            Out.DWord(0x0FF0ADDE).Byte(0xFF);
        }
        for (int I = 0; I < 16; ++I) {
            Out.Byte(static_cast<std::uint8_t>(0xA0 + I));
        }
        Out.DWord(static_cast<std::uint32_t>(1 + ExtraGenerations));
        for (int I = 0; I < ExtraGenerations; ++I) {
            Out.DWord(static_cast<std::uint32_t>(I)).DWord(static_cast<std::uint32_t>(I));
        }
        Out.DWord(static_cast<std::uint32_t>(FExports.size()))
            .DWord(static_cast<std::uint32_t>(FNames.size()));
    }
    Out.Bytes(NameTable.Data());
    if (Version < 68) {
        for (int I = 0; I < 16; ++I) {
            Out.Byte(static_cast<std::uint8_t>(0xB0 + I));
        }
    }
    for (const TWriterExport& Export : FExports) {
        Out.Bytes(Export.Data);
    }
    Out.Bytes(ImportTable.Data());
    Out.Bytes(ExportTable.Data());
    return Out.Data();
}

TPropertyWriter& TPropertyWriter::Tag(std::string_view Name, int Type, const TBytes& Value,
                                      std::int32_t ArrayIndex, std::string_view StructName)
{
    const std::size_t Size = Value.size();
    int SizeCode = Size <= 0xFF ? 5 : (Size <= 0xFFFF ? 6 : 7);
    const std::pair<std::size_t, int> FixedSizes[] = {{1, 0}, {2, 1}, {4, 2}, {12, 3}, {16, 4}};
    for (const auto& [Fixed, Code] : FixedSizes) {
        if (Size == Fixed) {
            SizeCode = Code;
        }
    }
    const bool ArrayFlag = ArrayIndex >= 0;
    FOut.Index(FPackage.Name(Name));
    FOut.Byte(static_cast<std::uint8_t>((ArrayFlag ? 0x80 : 0) | (SizeCode << 4) | (Type & 0x0F)));
    if (Type == 10) {
        FOut.Index(FPackage.Name(StructName));
    }
    if (SizeCode == 5) {
        FOut.Byte(static_cast<std::uint8_t>(Size));
    } else if (SizeCode == 6) {
        FOut.Word(static_cast<std::uint16_t>(Size));
    } else if (SizeCode == 7) {
        FOut.DWord(static_cast<std::uint32_t>(Size));
    }
    if (ArrayFlag) {
        if (ArrayIndex < 0x80) {
            FOut.Byte(static_cast<std::uint8_t>(ArrayIndex));
        } else if (ArrayIndex < 0x4000) {
            FOut.Byte(static_cast<std::uint8_t>(0x80 | (ArrayIndex >> 8)))
                .Byte(static_cast<std::uint8_t>(ArrayIndex));
        } else {
            FOut.Byte(static_cast<std::uint8_t>(0xC0 | (ArrayIndex >> 24)))
                .Byte(static_cast<std::uint8_t>(ArrayIndex >> 16))
                .Byte(static_cast<std::uint8_t>(ArrayIndex >> 8))
                .Byte(static_cast<std::uint8_t>(ArrayIndex));
        }
    }
    FOut.Bytes(Value);
    return *this;
}

TPropertyWriter& TPropertyWriter::Int(std::string_view Name, std::int32_t Value,
                                      std::int32_t ArrayIndex)
{
    return Tag(Name, 2, TByteWriter().DWord(static_cast<std::uint32_t>(Value)).Data(), ArrayIndex);
}

TPropertyWriter& TPropertyWriter::Float(std::string_view Name, float Value)
{
    return Tag(Name, 4, TByteWriter().Float(Value).Data());
}

TPropertyWriter& TPropertyWriter::Bool(std::string_view Name, bool Value)
{
    FOut.Index(FPackage.Name(Name));
    FOut.Byte(static_cast<std::uint8_t>((Value ? 0x80 : 0) | 0x03));
    return *this;
}

TPropertyWriter& TPropertyWriter::Byte(std::string_view Name, std::uint8_t Value)
{
    return Tag(Name, 1, {Value});
}

TPropertyWriter& TPropertyWriter::Str(std::string_view Name, std::string_view Value)
{
    TByteWriter V;
    V.Index(static_cast<std::int32_t>(Value.size() + 1)).Chars(Value).Byte(0);
    return Tag(Name, 13, V.Data());
}

namespace {

std::u16string Utf8ToUtf16(std::string_view S)
{
    std::u16string Out;
    for (std::size_t I = 0; I < S.size();) {
        const auto C = static_cast<unsigned char>(S[I]);
        char32_t Code = C;
        std::size_t Length = 1;
        if (C >= 0xF0 && I + 3 < S.size()) {
            Code = ((C & 0x07u) << 18) | ((S[I + 1] & 0x3Fu) << 12) | ((S[I + 2] & 0x3Fu) << 6) |
                   (S[I + 3] & 0x3Fu);
            Length = 4;
        } else if (C >= 0xE0 && I + 2 < S.size()) {
            Code = ((C & 0x0Fu) << 12) | ((S[I + 1] & 0x3Fu) << 6) | (S[I + 2] & 0x3Fu);
            Length = 3;
        } else if (C >= 0xC0 && I + 1 < S.size()) {
            Code = ((C & 0x1Fu) << 6) | (S[I + 1] & 0x3Fu);
            Length = 2;
        }
        if (Code >= 0x10000) {
            Code -= 0x10000;
            Out += static_cast<char16_t>(0xD800 + (Code >> 10));
            Out += static_cast<char16_t>(0xDC00 + (Code & 0x3FF));
        } else {
            Out += static_cast<char16_t>(Code);
        }
        I += Length;
    }
    return Out;
}

} // namespace

TPropertyWriter& TPropertyWriter::UnicodeStr(std::string_view Name, std::string_view Utf8Value)
{
    const std::u16string Units = Utf8ToUtf16(Utf8Value);
    TByteWriter V;
    V.Index(-static_cast<std::int32_t>(Units.size() + 1));
    for (const char16_t Unit : Units) {
        V.Word(static_cast<std::uint16_t>(Unit));
    }
    V.Word(0);
    return Tag(Name, 13, V.Data());
}

TPropertyWriter& TPropertyWriter::NameValue(std::string_view Name, std::string_view Value)
{
    return Tag(Name, 6, EncodeCompactIndex(FPackage.Name(Value)));
}

TPropertyWriter& TPropertyWriter::Object(std::string_view Name, std::int32_t Ref)
{
    return Tag(Name, 5, EncodeCompactIndex(Ref));
}

TPropertyWriter& TPropertyWriter::Struct(std::string_view Name, std::string_view StructName,
                                         const TBytes& Value)
{
    return Tag(Name, 10, Value, -1, StructName);
}

TBytes TPropertyWriter::Bytes()
{
    FOut.Index(FPackage.Name("None"));
    return FOut.Data();
}

namespace {

TBytes LevelSummaryData(TPackageWriter& Writer, const TMapTexts& Texts)
{
    TPropertyWriter Props(Writer);
    auto Text = [&](std::string_view Name, const std::optional<std::string>& Value) {
        if (!Value) {
            return;
        }
        if (Texts.Utf16) {
            Props.UnicodeStr(Name, *Value);
        } else {
            Props.Str(Name, *Value);
        }
    };
    Text("Title", Texts.Title);
    Text("Author", Texts.Author);
    Text("Description", Texts.Description);
    Props.Int("IdealPlayerCountMin", 6).Int("IdealPlayerCountMax", 10);
    return Props.Bytes();
}

// Object data of a plain actor: a few tagged properties and some bytes after them.
TBytes ActorData(TPackageWriter& Writer, int Serial, std::size_t Size)
{
    TPropertyWriter Props(Writer);
    Props.Struct("Location", "Vector",
                 TByteWriter().Float(1.0f * Serial).Float(2.0f).Float(3.0f).Data());
    Props.Int("Tag", Serial);
    TBytes Data = Props.Bytes();
    while (Data.size() < Size) {
        Data.push_back(static_cast<std::uint8_t>(Data.size() * 31 + Serial));
    }
    return Data;
}

} // namespace

TBytes MakeMapPackage(const TMapTexts& Texts)
{
    TPackageWriter Writer;
    const std::int32_t LevelInfo = Writer.ImportClass("Engine", "LevelInfo");
    const std::int32_t Level =
        Writer.AddExport(Writer.ImportClass("Engine", "Level"), "myLevel", {1, 2, 3, 4});
    Writer.AddExport(LevelInfo, "LevelInfo0", ActorData(Writer, 0, 64), Level);
    if (Texts.WithLevelSummary) {
        Writer.AddExport(Writer.ImportClass("Engine", "LevelSummary"), "LevelSummary",
                         LevelSummaryData(Writer, Texts));
    }
    return Writer.Build();
}

TBytes MakeLargeMapPackage(const TMapTexts& Texts, int Names, int Exports, std::size_t DataBytes)
{
    TPackageWriter Writer;
    const std::int32_t Level =
        Writer.AddExport(Writer.ImportClass("Engine", "Level"), "myLevel", {1, 2, 3, 4});
    const char* Classes[] = {"StaticMeshActor", "PlayerStart", "Light",   "PathNode",
                             "BlockingVolume",  "Emitter",     "Trigger", "Mover"};
    std::int32_t ClassRefs[8];
    for (int I = 0; I < 8; ++I) {
        ClassRefs[I] = Writer.ImportClass("Engine", Classes[I]);
    }
    for (int I = 0; I < Names - Exports - 40; ++I) {
        Writer.Name("Texture_Group_" + std::to_string(I));
    }
    const std::size_t PerExport = Exports > 0 ? DataBytes / static_cast<std::size_t>(Exports) : 0;
    for (int I = 1; I < Exports; ++I) {
        if (I == Exports / 2 && Texts.WithLevelSummary) {
            Writer.AddExport(Writer.ImportClass("Engine", "LevelSummary"), "LevelSummary",
                             LevelSummaryData(Writer, Texts));
            continue;
        }
        const int Class = I % 8;
        Writer.AddExport(ClassRefs[Class], std::string(Classes[Class]) + std::to_string(I),
                         ActorData(Writer, I, PerExport), Level);
    }
    return Writer.Build();
}

TBytes MakeTablePackage(int Count)
{
    TPackageWriter Writer;
    const std::int32_t Class = Writer.ImportClass("Engine", "StaticMeshActor");
    for (int I = 0; I < Count; ++I) {
        Writer.AddExport(Class, "StaticMeshActor" + std::to_string(I), {0x00});
    }
    return Writer.Build();
}

bool WritePackageFile(const std::string& Path, const TBytes& Bytes)
{
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out.write(reinterpret_cast<const char*>(Bytes.data()),
              static_cast<std::streamsize>(Bytes.size()));
    Out.close();
    return static_cast<bool>(Out);
}
