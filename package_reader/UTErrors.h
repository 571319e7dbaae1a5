#pragma once

#include <stdexcept>
#include <string>

// Every failure the package reader raises derives from EUTReaderError, so a caller that keeps its
// defaults on any reader failure catches that one class.
class EUTReaderError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The file is not a package of this engine family (too short, or a wrong signature).
class EInvalidUTPackage final : public EUTReaderError
{
public:
    EInvalidUTPackage()
        : EUTReaderError("ERROR! This isn't an Unreal package")
    {}
};

// Any other failure while a package's header and tables are read.
class EProcessingUTPackage final : public EUTReaderError
{
public:
    EProcessingUTPackage(const std::string& FileName, const std::string& Reason)
        : EUTReaderError("Exception processing package " + FileName + "\r\n" + Reason)
    {}
};

// A property tag that could not be read; names the property as far as it was known, and
// where its tag starts.
class EReadingUTProperty final : public EUTReaderError
{
public:
    EReadingUTProperty(const std::string& PropertyName, const std::string& Where)
        : EUTReaderError("Exception reading property " + PropertyName +
                         (Where.empty() ? std::string() : " " + Where))
    {}
};

// A read past the end of a stream or of a value's bytes, or a size that cannot be in the data.
class EReadError final : public EUTReaderError
{
public:
    EReadError()
        : EUTReaderError("Stream read error")
    {}
    explicit EReadError(const std::string& Message)
        : EUTReaderError(Message)
    {}
};

// An index outside a list (a name index outside the name table), and where it was read.
class EListError final : public EUTReaderError
{
public:
    explicit EListError(long long Index, const std::string& Where = {})
        : EUTReaderError("List index out of bounds (" + std::to_string(Index) + ")" +
                         (Where.empty() ? std::string() : ": " + Where))
    {}
};

// A file that cannot be opened for reading.
class EFOpenError final : public EUTReaderError
{
public:
    EFOpenError(const std::string& FileName, const std::string& Reason)
        : EUTReaderError("Cannot open file \"" + FileName + "\". " + Reason)
    {}
};

// A call out of order, such as asking an object for its properties before reading it.
class EAssertionFailed final : public EUTReaderError
{
public:
    using EUTReaderError::EUTReaderError;
};
