#include "TUTStream.h"

#include "UTErrors.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {
constexpr std::size_t FileWindowSize = 32 * 1024;

// The window buffer of the last file stream a thread closed. Packages are opened one after
// another, and a new buffer for each would be memory the system has to supply afresh each time.
thread_local std::unique_ptr<std::uint8_t[]> SpareBuffer;
thread_local std::size_t SpareCapacity = 0;
} // namespace

void TUTStream::Seek(std::int64_t Position)
{
    const std::int64_t WindowLength = FEnd - FWindow;
    if (Position >= FWindowPos && Position <= FWindowPos + WindowLength && FWindow != nullptr) {
        FCur = FWindow + (Position - FWindowPos);
        return;
    }
    // Refilled lazily at the next read.
    FWindow = FCur = FEnd = nullptr;
    FWindowPos = Position;
}

std::size_t TUTStream::Read(void* Buffer, std::size_t Count)
{
    auto* Dest = static_cast<std::uint8_t*>(Buffer);
    std::size_t Done = 0;
    while (Done < Count) {
        if (FCur == FEnd) {
            const std::int64_t Position = GetPosition();
            if (Position < 0 || Position >= FSize) {
                break;
            }
            FillWindow(Position);
            if (FCur == FEnd) {
                break;
            }
        }
        const std::size_t Chunk =
            std::min<std::size_t>(Count - Done, static_cast<std::size_t>(FEnd - FCur));
        std::memcpy(Dest + Done, FCur, Chunk);
        FCur += Chunk;
        Done += Chunk;
    }
    return Done;
}

void TUTStream::ReadExactSlow(void* Buffer, std::size_t Count)
{
    // Checked first so that a huge count fails at once, without touching the buffer.
    if (static_cast<std::uint64_t>(Remaining()) < Count) {
        throw EReadError();
    }
    if (Read(Buffer, Count) != Count) {
        throw EReadError();
    }
}

TUTMemoryStream::TUTMemoryStream(std::vector<std::uint8_t> Data)
{
    Assign(std::move(Data));
}

void TUTMemoryStream::Assign(std::vector<std::uint8_t> Data)
{
    FData = std::move(Data);
    ResetWindow(0);
}

std::uint8_t* TUTMemoryStream::Append(std::size_t Count)
{
    const std::int64_t Position = GetPosition();
    const std::size_t Old = FData.size();
    FData.resize(Old + Count);
    ResetWindow(Position);
    return FData.data() + Old;
}

void TUTMemoryStream::ResetWindow(std::int64_t Position)
{
    FSize = static_cast<std::int64_t>(FData.size());
    FWindow = FData.data();
    FEnd = FWindow + FData.size();
    FWindowPos = 0;
    if (Position >= 0 && Position <= FSize && FWindow != nullptr) {
        FCur = FWindow + Position;
    } else {
        FWindow = FCur = FEnd = nullptr;
        FWindowPos = Position;
    }
}

void TUTMemoryStream::FillWindow(std::int64_t Position)
{
    ResetWindow(Position);
}

TUTFileStream::TUTFileStream(const std::string& FileName)
{
    // One look at the file gives its kind and its size, so the file need not be sought to its
    // end and back.
    std::error_code Error;
    const std::uintmax_t Size = std::filesystem::file_size(FileName, Error);
    if (Error == std::errc::is_a_directory) {
        throw EFOpenError(FileName, std::strerror(EISDIR));
    }
    errno = 0;
    FFile = std::fopen(FileName.c_str(), "rb");
    if (FFile == nullptr) {
        throw EFOpenError(FileName, std::strerror(errno != 0 ? errno : ENOENT));
    }
    // Our own window is the only buffer; a second one in the C library would copy twice.
    std::setvbuf(FFile, nullptr, _IONBF, 0);
    if (!Error && Size <= static_cast<std::uintmax_t>(INT64_MAX)) {
        FSize = static_cast<std::int64_t>(Size);
        FFilePos = 0;
        return;
    }
    // Not a regular file, or it went away between the look and the open.
    if (std::fseek(FFile, 0, SEEK_END) != 0) {
        const int Code = errno;
        std::fclose(FFile);
        throw EFOpenError(FileName, std::strerror(Code != 0 ? Code : EIO));
    }
    const long End = std::ftell(FFile);
    if (End < 0) {
        const int Code = errno;
        std::fclose(FFile);
        throw EFOpenError(FileName, std::strerror(Code != 0 ? Code : EIO));
    }
    FSize = End;
    FFilePos = End;
}

TUTFileStream::~TUTFileStream()
{
    std::fclose(FFile);
    if (FCapacity > SpareCapacity) {
        SpareBuffer = std::move(FBuffer);
        SpareCapacity = FCapacity;
    }
}

void TUTFileStream::Reserve(std::size_t Capacity, std::size_t Kept)
{
    std::unique_ptr<std::uint8_t[]> Bigger;
    std::size_t BiggerCapacity = Capacity;
    if (SpareCapacity >= Capacity) {
        Bigger = std::move(SpareBuffer);
        BiggerCapacity = SpareCapacity;
        SpareCapacity = 0;
    } else {
        Bigger = std::make_unique_for_overwrite<std::uint8_t[]>(Capacity);
    }
    if (Kept > 0) {
        std::memcpy(Bigger.get(), FCur, Kept);
    }
    FBuffer = std::move(Bigger);
    FCapacity = BiggerCapacity;
}

std::size_t TUTFileStream::ReadAt(std::int64_t Position, std::uint8_t* Dest, std::size_t Count)
{
    if (FFilePos != Position && std::fseek(FFile, static_cast<long>(Position), SEEK_SET) != 0) {
        FFilePos = -1;
        throw EReadError();
    }
    const std::size_t Got = std::fread(Dest, 1, Count, FFile);
    FFilePos = Position + static_cast<std::int64_t>(Got);
    return Got;
}

void TUTFileStream::ReadDirect(std::int64_t Position, void* Buffer, std::size_t Count)
{
    if (Position < 0 || Position > FSize || static_cast<std::uint64_t>(FSize - Position) < Count) {
        throw EReadError();
    }
    Seek(Position);
    if (static_cast<std::size_t>(FEnd - FCur) >= Count) {
        ReadExact(Buffer, Count);
        return;
    }
    const std::size_t Got = ReadAt(Position, static_cast<std::uint8_t*>(Buffer), Count);
    if (Got != Count) {
        throw EReadError();
    }
    FWindow = FCur = FEnd = nullptr;
    FWindowPos = FFilePos;
}

void TUTFileStream::FillWindow(std::int64_t Position)
{
    FWindow = FCur = FEnd = nullptr;
    FWindowPos = Position;
    if (Position < 0 || Position >= FSize) {
        return;
    }
    if (FCapacity < FileWindowSize) {
        Reserve(FileWindowSize, 0);
    }
    const std::size_t Wanted =
        static_cast<std::size_t>(std::min<std::int64_t>(FSize - Position, FileWindowSize));
    const std::size_t Got = ReadAt(Position, FBuffer.get(), Wanted);
    if (Got == 0) {
        // The file shrank after it was opened.
        throw EReadError();
    }
    FWindow = FBuffer.get();
    FCur = FWindow;
    FEnd = FWindow + Got;
}

void TUTFileStream::ReadAhead(std::size_t Count)
{
    const std::int64_t Position = GetPosition();
    if (Position < 0 || Position >= FSize) {
        return;
    }
    const std::size_t Wanted = static_cast<std::size_t>(
        std::min<std::uint64_t>(Count, static_cast<std::uint64_t>(FSize - Position)));
    const std::size_t Kept = WindowLeft();
    if (Kept >= Wanted) {
        return;
    }
    if (FCapacity < Wanted) {
        Reserve(Wanted, Kept);
    } else if (Kept > 0) {
        std::memmove(FBuffer.get(), FCur, Kept);
    }
    FWindow = FCur = FBuffer.get();
    FEnd = FWindow + Kept;
    FWindowPos = Position;
    FEnd += ReadAt(Position + static_cast<std::int64_t>(Kept), FBuffer.get() + Kept, Wanted - Kept);
}
