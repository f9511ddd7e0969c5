#pragma once

// The one way the station hands back a failure: a Result holds either its value or the text
// of what went wrong, and Status (a Result without a value) either nothing or that text. The
// text travels unchanged from where the failure arose to the operator's box or the log.

#include <QString>

#include <concepts>
#include <type_traits>
#include <utility>
#include <variant>

namespace ordan {

// The text of a failure on its way into a Result of any type: `return Fail(text);`, or
// `return other.failure();` to pass on a failure of another type.
struct Failure {
    QString text;
};

inline Failure Fail(QString text) { return Failure{std::move(text)}; }

template <typename T> class Result;

namespace detail {

// What a Result<T> takes as its value: anything T is made from, but not another Result of
// that type (copied as it is) nor a Failure.
template <typename U, typename T>
concept ResultValue = std::constructible_from<T, U &&> && !std::same_as<std::remove_cvref_t<U>, Result<T>> &&
                      !std::same_as<std::remove_cvref_t<U>, Failure>;

// What a Result<T> compares with: a value T compares with, but not a Result nor a Failure.
template <typename U, typename T>
concept ComparableValue = !std::same_as<U, Result<T>> && !std::same_as<U, Failure> && requires(const T &t, const U &u)
{
    static_cast<bool>(t == u);
};

} // namespace detail

template <typename T> class [[nodiscard]] Result {
    static_assert(!std::is_reference_v<T> && !std::is_same_v<std::remove_cv_t<T>, Failure>,
                  "a Result holds a value, not a reference or a failure");

public:
    // A value is a success, taken implicitly where T itself converts implicitly.
    template <detail::ResultValue<T> U = T>
    explicit(!std::convertible_to<U &&, T>) Result(U &&value) : state_(std::in_place_index<0>, std::forward<U>(value))
    {}
    Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure.text)) {} // NOLINT: a failure

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    // The value; only on success.
    const T &value() const & { return std::get<0>(state_); }
    T &value() & { return std::get<0>(state_); }
    T &&value() && { return std::get<0>(std::move(state_)); }
    const T &operator*() const & { return value(); }
    T &operator*() & { return value(); }
    T &&operator*() && { return std::move(*this).value(); }
    const T *operator->() const { return &value(); }
    T *operator->() { return &value(); }
    T valueOr(T fallback) const & { return ok() ? value() : std::move(fallback); }

    // The failure's text; empty on success.
    const QString &error() const { return ok() ? NoError() : std::get<1>(state_); }
    // The failure, to return it as a Result of another type.
    Failure failure() const { return Failure{error()}; }

    // Equal to a value when it holds an equal one; a failure equals no value.
    template <detail::ComparableValue<T> U> friend bool operator==(const Result &result, const U &other)
    {
        return result.ok() && result.value() == other;
    }

private:
    static const QString &NoError()
    {
        static const QString none;
        return none;
    }

    // Index 0 the value, 1 the failure's text: T may itself be a QString.
    std::variant<T, QString> state_;
};

// Success, or the text of a failure.
template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;                                                         // success
    Result(Failure failure) : failed_(true), error_(std::move(failure.text)) {} // NOLINT: a failure

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }

    // The failure's text; empty on success.
    const QString &error() const { return error_; }
    Failure failure() const { return Failure{error_}; }

private:
    // A flag of its own: a failure may come with an empty text.
    bool failed_ = false;
    QString error_;
};

using Status = Result<void>;

} // namespace ordan
