#pragma once

#include <QString>

#include <exception>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

// The one way a model operation that can fail reports it: TResult<T> holds either the value
// or a TError; TResult<void> holds nothing or a TError. The reader and the INI layer raise
// their exceptions; the model catches them where it calls them and returns a TError instead.
// Operations on many files return, as their value, what happened to each file; their TError
// says that the operation as a whole could not run.
//
// Returning: a value, or a TError, converts to the result:
//
//     TResult<TUTProfile*> TUT2003Profile::CreateProfile(const QString& name, ...)
//     {
//         if (!IsPlainFileName(name))
//             return TError{TErrorCode::ecInvalid, QStringLiteral("..."), target};
//         ...
//         return FItems.back().get();
//     }
//
// Calling: test, then take the value or the error; a failure passes up unchanged, since
// "return result.Error();" converts to a TResult of any type:
//
//     const TResult<TUTProfile*> created = profiles.CreateProfile(name, userIni);
//     if (!created)
//         return created.Error();
//     Select(*created);
//
// In the user interface, Succeeded(owner, result) of ui/support/Guard.h shows a failure the
// way an unhandled error is shown and tells whether to go on.
//
// Value() of a failure and Error() of a success raise std::bad_variant_access.

// What kind of failure it was: pages branch on the kind and show the message.
enum class TErrorCode
{
    ecFailed,    // the platform refused: a file could not be read, written, copied or removed
    ecNotFound,  // the file, folder, settings or list entry the operation needs is not there
    ecInvalid,   // an argument, or a file's content, the operation cannot use
    ecDeclined,  // the user answered No (to replacing a file, to a delete)
    ecCancelled, // the user cancelled the operation
};

// Why an operation failed. The message is complete for the user: it names the file and the
// reason.
struct TError
{
    TErrorCode Code = TErrorCode::ecFailed;
    QString Message;
    QString FileName; // the file the failure concerns; empty when there is none
};

// The error for an exception the model caught from the reader, the INI layer or the XML
// layer: its message as it stands.
inline TError ErrorFrom(const std::exception& error, const QString& fileName,
                        TErrorCode code = TErrorCode::ecFailed)
{
    return TError{code, QString::fromUtf8(error.what()), fileName};
}

template <class T> class [[nodiscard]] TResult
{
    static_assert(!std::is_same_v<std::remove_cv_t<T>, TError>, "a TError is no value");

public:
    TResult(const T& value)
        : FState(std::in_place_index<0>, value)
    {}
    TResult(T&& value)
        : FState(std::in_place_index<0>, std::move(value))
    {}
    TResult(TError error)
        : FState(std::in_place_index<1>, std::move(error))
    {}

    bool HasValue() const { return FState.index() == 0; }
    explicit operator bool() const { return HasValue(); }

    T& Value() & { return std::get<0>(FState); }
    const T& Value() const& { return std::get<0>(FState); }
    T&& Value() && { return std::get<0>(std::move(FState)); }
    T& operator*() & { return Value(); }
    const T& operator*() const& { return Value(); }
    T* operator->() { return &Value(); }
    const T* operator->() const { return &Value(); }
    // The value, or Fallback for a failure.
    template <class U> T ValueOr(U&& fallback) const&
    {
        return HasValue() ? Value() : static_cast<T>(std::forward<U>(fallback));
    }

    const TError& Error() const { return std::get<1>(FState); }

private:
    std::variant<T, TError> FState;
};

template <> class [[nodiscard]] TResult<void>
{
public:
    TResult() = default; // success
    TResult(TError error)
        : FError(std::move(error))
    {}

    bool HasValue() const { return !FError.has_value(); }
    explicit operator bool() const { return HasValue(); }

    const TError& Error() const
    {
        if (!FError)
            throw std::bad_variant_access();
        return *FError;
    }

private:
    std::optional<TError> FError;
};
