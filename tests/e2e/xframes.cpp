// Records when an X11 window is drawn to, through the X DAMAGE extension: one line per
// damaged rectangle, "TIME_MS WIDTH HEIGHT" in the X server's millisecond clock. A game
// that presents its whole picture once per frame damages its whole window once per frame,
// so the lines are its frame times. Usage: xframes WINDOW_ID SECONDS; DISPLAY must be set.
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

static bool windowGone = false;

// The window may be destroyed while it is watched; that ends the recording, not the tool.
static int onXError(Display*, XErrorEvent*) {
    windowGone = true;
    return 0;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: xframes WINDOW_ID SECONDS\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "xframes: cannot open display\n");
        return 1;
    }
    int eventBase = 0, errorBase = 0;
    if (!XDamageQueryExtension(display, &eventBase, &errorBase)) {
        std::fprintf(stderr, "xframes: the X server has no DAMAGE extension\n");
        return 1;
    }
    XSetErrorHandler(onXError);
    const Window window = std::strtoul(argv[1], nullptr, 0);
    const Damage damage = XDamageCreate(display, window, XDamageReportRawRectangles);
    XSync(display, False);

    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::duration<double>(std::atof(argv[2]));
    while (!windowGone && Clock::now() < end) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != eventBase + XDamageNotify) continue;
            const auto* notify = reinterpret_cast<const XDamageNotifyEvent*>(&event);
            std::printf("%lu %d %d\n", notify->timestamp, notify->area.width, notify->area.height);
        }
        pollfd fd = {ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, 10);
    }
    if (!windowGone) XDamageDestroy(display, damage);
    XCloseDisplay(display);
    return 0;
}
