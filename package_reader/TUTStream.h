#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// A readable byte source with a position. Reads are served from a window of bytes in memory, so
// the single-byte reads that dominate table parsing cost no call; the file stream refills its
// window from the file, the memory stream's window is its whole content.
class TUTStream
{
public:
    virtual ~TUTStream() = default;
    TUTStream(const TUTStream&) = delete;
    TUTStream& operator=(const TUTStream&) = delete;

    std::int64_t GetSize() const { return FSize; }
    std::int64_t GetPosition() const { return FWindowPos + (FCur - FWindow); }
    // Bytes from the position to the end; 0 when the position is past the end.
    std::int64_t Remaining() const
    {
        const std::int64_t Left = FSize - GetPosition();
        return Left > 0 ? Left : 0;
    }
    // Any position is accepted; reads past the end then fail.
    void Seek(std::int64_t Position);

    // Reads up to Count bytes and returns how many were read.
    std::size_t Read(void* Buffer, std::size_t Count);
    // Reads exactly Count bytes; EReadError when fewer remain (the buffer is then undefined).
    void ReadExact(void* Buffer, std::size_t Count)
    {
        if (static_cast<std::size_t>(FEnd - FCur) >= Count) {
            if (Count > 0) {
                std::char_traits<char>::copy(static_cast<char*>(Buffer),
                                             reinterpret_cast<const char*>(FCur), Count);
            }
            FCur += Count;
            return;
        }
        ReadExactSlow(Buffer, Count);
    }
    // One byte; EReadError at the end.
    std::uint8_t ReadUInt8()
    {
        if (FCur < FEnd) {
            return *FCur++;
        }
        std::uint8_t B;
        ReadExactSlow(&B, 1);
        return B;
    }

    // Bytes readable at the position without a refill, and where they are.
    std::size_t WindowLeft() const { return static_cast<std::size_t>(FEnd - FCur); }
    const std::uint8_t* WindowData() const { return FCur; }

    // The next Count bytes when the window holds them all (the position then moves past
    // them), else none and nothing moves.
    const std::uint8_t* TakeFromWindow(std::size_t Count)
    {
        if (static_cast<std::size_t>(FEnd - FCur) < Count) {
            return nullptr;
        }
        const std::uint8_t* Bytes = FCur;
        FCur += Count;
        return Bytes;
    }

protected:
    TUTStream() = default;
    // Makes the window start at Position (an empty window at or past the end).
    virtual void FillWindow(std::int64_t Position) = 0;

    const std::uint8_t* FWindow = nullptr;
    const std::uint8_t* FCur = nullptr;
    const std::uint8_t* FEnd = nullptr;
    std::int64_t FWindowPos = 0;
    std::int64_t FSize = 0;

private:
    void ReadExactSlow(void* Buffer, std::size_t Count);
};

// The bytes of one object or one value, in memory.
class TUTMemoryStream final : public TUTStream
{
public:
    TUTMemoryStream() = default;
    explicit TUTMemoryStream(std::vector<std::uint8_t> Data);

    const std::vector<std::uint8_t>& Data() const { return FData; }
    // Replaces the content and rewinds.
    void Assign(std::vector<std::uint8_t> Data);
    // Makes room for Count more bytes at the end and returns where they go; the position stays.
    std::uint8_t* Append(std::size_t Count);

protected:
    void FillWindow(std::int64_t Position) override;

private:
    void ResetWindow(std::int64_t Position);
    std::vector<std::uint8_t> FData;
};

// A package file opened read-only, read through a buffer of its own. Only the buffer is held in
// memory, never the file.
class TUTFileStream final : public TUTStream
{
public:
    // EFOpenError when the file cannot be opened or is not a regular file.
    explicit TUTFileStream(const std::string& FileName);
    ~TUTFileStream() override;

    // Reads Count bytes at Position straight into Buffer, past the window, and leaves the
    // position after them; EReadError when they are not all in the file.
    void ReadDirect(std::int64_t Position, void* Buffer, std::size_t Count);

protected:
    void FillWindow(std::int64_t Position) override;

private:
    // The package's table reader sizes its reads to the tables.
    friend class TUTPackage;
    // Makes the window hold the Count bytes from the position on, fewer only where the file
    // ends (or where it turns out shorter than it was): the bytes the window holds already
    // stay, the rest comes in one read. EReadError when the file cannot be positioned.
    void ReadAhead(std::size_t Count);
    // Makes the buffer hold at least Capacity bytes, with the Kept bytes at the position first.
    void Reserve(std::size_t Capacity, std::size_t Kept);
    // Reads up to Count bytes at Position into Dest; how many it got.
    std::size_t ReadAt(std::int64_t Position, std::uint8_t* Dest, std::size_t Count);

    std::FILE* FFile = nullptr;
    std::unique_ptr<std::uint8_t[]> FBuffer; // allocated at the first read through the window
    std::size_t FCapacity = 0;
    std::int64_t FFilePos = -1; // where the file's own position is, -1 when unknown
};
