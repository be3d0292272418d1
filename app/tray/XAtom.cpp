#include "app/tray/XAtom.hpp"

#include <cstdlib>

namespace kestrava::app {

xcb_atom_t internAtom(xcb_connection_t* x, const std::string& name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        x, xcb_intern_atom(x, 0, static_cast<uint16_t>(name.size()), name.data()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

} // namespace kestrava::app
