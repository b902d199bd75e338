#include "style/SeeThroughWindows.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace klv::ui {

namespace {

struct FreeReply {
    void operator()(void *reply) const { std::free(reply); }
};

} // namespace

bool seeThroughWindowsShown() {
    // The offscreen platform answers as X too, without a connection.
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 && QGuiApplication::platformName() == u"xcb" ? x11->connection() : nullptr;
    if (!connection)
        return true;
    // A compositing manager owns the selection _NET_WM_CM_S<screen> while it runs.
    static constexpr char selection[] = "_NET_WM_CM_S0";
    const std::unique_ptr<xcb_intern_atom_reply_t, FreeReply> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof selection - 1, selection), nullptr));
    if (!atom)
        return false;
    const std::unique_ptr<xcb_get_selection_owner_reply_t, FreeReply> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr));
    return owner && owner->owner != XCB_NONE;
}

void makeSeeThrough(QWidget &popup, bool seeThrough) {
    if (popup.testAttribute(Qt::WA_TranslucentBackground) == seeThrough)
        return;
    popup.setAttribute(Qt::WA_TranslucentBackground, seeThrough);
    // Setting the flags again makes the window anew, with or without an alpha channel.
    if (popup.windowHandle() && !popup.isVisible())
        popup.setWindowFlags(popup.windowFlags());
}

} // namespace klv::ui
