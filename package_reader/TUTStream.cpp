#include "TUTStream.h"

#include "UTErrors.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {
constexpr std::size_t FileWindowSize = 32 * 1024;
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
    std::error_code Error;
    const auto Status = std::filesystem::status(FileName, Error);
    if (!Error && std::filesystem::is_directory(Status)) {
        throw EFOpenError(FileName, std::strerror(EISDIR));
    }
    errno = 0;
    FFile = std::fopen(FileName.c_str(), "rb");
    if (FFile == nullptr) {
        throw EFOpenError(FileName, std::strerror(errno != 0 ? errno : ENOENT));
    }
    // Our own window is the only buffer; a second one in the C library would copy twice.
    std::setvbuf(FFile, nullptr, _IONBF, 0);
    if (std::fseek(FFile, 0, SEEK_END) != 0) {
        const int Code = errno;
        std::fclose(FFile);
        throw EFOpenError(FileName, std::strerror(Code != 0 ? Code : EIO));
    }
    const long Size = std::ftell(FFile);
    if (Size < 0) {
        const int Code = errno;
        std::fclose(FFile);
        throw EFOpenError(FileName, std::strerror(Code != 0 ? Code : EIO));
    }
    FSize = Size;
    FFilePos = Size;
    FBuffer.resize(FileWindowSize);
}

TUTFileStream::~TUTFileStream()
{
    std::fclose(FFile);
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
    if (FFilePos != Position && std::fseek(FFile, static_cast<long>(Position), SEEK_SET) != 0) {
        FFilePos = -1;
        throw EReadError();
    }
    const std::size_t Got = std::fread(Buffer, 1, Count, FFile);
    FFilePos = Position + static_cast<std::int64_t>(Got);
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
    if (FFilePos != Position) {
        if (std::fseek(FFile, static_cast<long>(Position), SEEK_SET) != 0) {
            FFilePos = -1;
            throw EReadError();
        }
    }
    const std::size_t Wanted =
        static_cast<std::size_t>(std::min<std::int64_t>(FSize - Position, FBuffer.size()));
    const std::size_t Got = std::fread(FBuffer.data(), 1, Wanted, FFile);
    FFilePos = Position + static_cast<std::int64_t>(Got);
    if (Got == 0) {
        // The file shrank after it was opened.
        throw EReadError();
    }
    FWindow = FBuffer.data();
    FCur = FWindow;
    FEnd = FWindow + Got;
}
