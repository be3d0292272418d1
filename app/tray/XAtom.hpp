#pragma once

#include <string>
#include <xcb/xcb.h>

namespace kestrava::app {

// The atom `name` stands for on `x`'s server; none where the server does not answer.
xcb_atom_t internAtom(xcb_connection_t* x, const std::string& name);

} // namespace kestrava::app
