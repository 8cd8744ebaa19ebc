#pragma once
#include <QString>
#include <optional>
#include <utility>
#include <variant>

// The one error type of everything that talks to the server. `Cancelled` is never shown:
// screens drop it, as they drop any work the user walked away from.
class FrigateError
{
public:
    enum class Kind { Http, Decoding, NotConfigured, Unreachable, Unauthorized, RateLimited, LocalFile, Cancelled };

    static FrigateError http(int status) { return FrigateError(Kind::Http, status, {}); }
    static FrigateError decoding(const QString &detail) { return FrigateError(Kind::Decoding, 0, detail); }
    static FrigateError notConfigured() { return FrigateError(Kind::NotConfigured, 0, {}); }
    static FrigateError unreachable() { return FrigateError(Kind::Unreachable, 0, {}); }
    static FrigateError unauthorized() { return FrigateError(Kind::Unauthorized, 0, {}); }
    static FrigateError rateLimited() { return FrigateError(Kind::RateLimited, 0, {}); }
    // A file on this computer could not be written; detail says which and why.
    static FrigateError localFile(const QString &detail) { return FrigateError(Kind::LocalFile, 0, detail); }
    static FrigateError cancelled() { return FrigateError(Kind::Cancelled, 0, {}); }

    Kind kind() const { return m_kind; }
    int status() const { return m_status; }
    QString detail() const { return m_detail; }
    bool isCancellation() const { return m_kind == Kind::Cancelled; }
    QString message() const;

    bool operator==(const FrigateError &) const = default;

private:
    FrigateError(Kind kind, int status, QString detail)
        : m_kind(kind), m_status(status), m_detail(std::move(detail)) {}
    Kind m_kind;
    int m_status;
    QString m_detail;
};

// A value or the error that stopped it.
template<typename T>
class Result
{
public:
    // Coroutine tasks need a default; an unset result reads as a cancellation.
    Result() : m_state(FrigateError::cancelled()) {}
    Result(T value) : m_state(std::move(value)) {}
    Result(FrigateError error) : m_state(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return ok(); }
    const T &value() const { return std::get<T>(m_state); }
    T &value() { return std::get<T>(m_state); }
    T takeValue() { return std::move(std::get<T>(m_state)); }
    const FrigateError &error() const { return std::get<FrigateError>(m_state); }

private:
    std::variant<T, FrigateError> m_state;
};

// Outcome of an operation that yields nothing but may fail.
using Status = std::optional<FrigateError>;
