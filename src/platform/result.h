#pragma once

#include <QString>
#include <optional>
#include <type_traits>
#include <utility>

namespace corvat {

// What kind of failure it was, for a caller that reacts differently to each; the text is for people.
enum class FailureCode {
    kNotFound,    // the file, folder or device is not there
    kNotAllowed,  // the system refused access
    kUnsafe,      // refused on purpose: a link, a FIFO, a folder that is not the user's own
    kTooLarge,    // beyond what can be carried or held
    kInvalid,     // the input itself is wrong: a name, a format, a value
    kBusy,        // in use by someone else
    kIo,          // reading, writing or the device failed
};

struct Failure {
    FailureCode code = FailureCode::kIo;
    QString message;  // complete, in the operator's language
};

inline Failure Fail(FailureCode code, QString message) {
    return Failure{code, std::move(message)};
}

// A value, or why there is none. The compiler insists that every result is looked at.
template <typename T = void>
class [[nodiscard]] Result {
  public:
    Result(T value) : m_value(std::move(value)) {}  // NOLINT: a value converts, as std::expected's does
    Result(Failure failure) : m_failure(std::move(failure)) {}  // NOLINT

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }

    const T& value() const& { return *m_value; }
    T& value() & { return *m_value; }
    T&& value() && { return std::move(*m_value); }
    const T* operator->() const { return &*m_value; }
    const T& operator*() const& { return *m_value; }

    const Failure& failure() const { return m_failure; }
    FailureCode code() const { return m_failure.code; }
    const QString& message() const { return m_failure.message; }

  private:
    std::optional<T> m_value;
    Failure m_failure;
};

// Success with nothing to hand back, or why not.
template <>
class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    Result(Failure failure) : m_failed(true), m_failure(std::move(failure)) {}  // NOLINT

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }

    const Failure& failure() const { return m_failure; }
    FailureCode code() const { return m_failure.code; }
    const QString& message() const { return m_failure.message; }

  private:
    bool m_failed = false;
    Failure m_failure;
};

}  // namespace corvat
