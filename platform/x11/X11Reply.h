// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace vantrel::x11 {

// xcb hands every reply and every error over in malloc'ed memory that the caller must free.
// Owning them from the moment they arrive means no early return can leak one.
struct MallocDeleter
{
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, MallocDeleter>;
using ErrorReply = Reply<xcb_generic_error_t>;

// Waits for the reply to `cookie` through xcb's matching `*_reply` function. An error comes back
// in `error` when asked for; otherwise it is dropped here rather than queued as an event that
// nobody reads.
template <typename T, typename Cookie>
Reply<T> reply(T* (*wait)(xcb_connection_t*, Cookie, xcb_generic_error_t**), xcb_connection_t* c, Cookie cookie,
    ErrorReply* error = nullptr)
{
    xcb_generic_error_t* raw = nullptr;
    Reply<T> result(wait(c, cookie, &raw));
    if (error)
        error->reset(raw);
    else
        std::free(raw);
    return result;
}

// The outcome of a checked request: null when the server accepted it.
inline ErrorReply check(xcb_connection_t* c, xcb_void_cookie_t cookie)
{
    return ErrorReply(xcb_request_check(c, cookie));
}

} // namespace vantrel::x11
