// Asks the window manager to close a window, as a taskbar does: the manager
// then sends the window its close request.
//   wmclose WINDOW_ID
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: wmclose WINDOW_ID\n");
        return 2;
    }
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    const char *name = "_NET_CLOSE_WINDOW";
    xcb_intern_atom_reply_t *atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr);
    if (!atom)
        return 1;
    xcb_client_message_event_t ev {};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = xcb_window_t(std::strtoul(argv[1], nullptr, 0));
    ev.type = atom->atom;
    ev.data.data32[0] = XCB_CURRENT_TIME;
    ev.data.data32[1] = 2; // from a pager or taskbar
    std::free(atom);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    // Checked: a request still unread when the connection closes can be dropped.
    xcb_generic_error_t *error = xcb_request_check(
        c, xcb_send_event_checked(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                                  reinterpret_cast<const char *>(&ev)));
    const int status = error ? 1 : 0;
    std::free(error);
    xcb_disconnect(c);
    return status;
}
