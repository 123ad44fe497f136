// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <utility>
#include <variant>

namespace vantrel {

// Why an operation failed, in words a toast or a log line can show.
struct Error
{
    QString domain = QStringLiteral("Vantrel");
    int code = 0;
    QString description;
};

// A value or the error that prevented it.
template <typename T> class Expected
{
public:
    Expected(T value)
        : m_state(std::move(value))
    { }
    Expected(Error error)
        : m_state(std::move(error))
    { }

    bool ok() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return ok(); }

    T& value() { return std::get<T>(m_state); }
    const T& value() const { return std::get<T>(m_state); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }

    const Error& error() const { return std::get<Error>(m_state); }

private:
    std::variant<T, Error> m_state;
};

} // namespace vantrel
