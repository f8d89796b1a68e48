#pragma once

#include "platform/Error.h"

#include <utility>
#include <variant>

namespace kestrane {

// A value or the Error that prevented it: what an operation of the core
// returns when it has something to give back and may fail.
//
//     Expected<TrashEntry> moved = trash.moveToTrash(path);
//     if (!moved) report(moved.error());
//     else record(moved->trashedPath);
template <class T>
class Expected {
public:
    Expected(T value) : m_content(std::in_place_index<0>, std::move(value)) {}
    Expected(Error error) : m_content(std::in_place_index<1>, std::move(error)) {}

    bool hasValue() const { return m_content.index() == 0; }
    explicit operator bool() const { return hasValue(); }

    // Only when hasValue().
    T& value() { return std::get<0>(m_content); }
    const T& value() const { return std::get<0>(m_content); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    // Only when !hasValue().
    const Error& error() const { return std::get<1>(m_content); }

private:
    std::variant<T, Error> m_content;
};

}  // namespace kestrane
