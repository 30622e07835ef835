// A stand-in for the charting program's main window, for the X11 tests. Xlib only.
//
//   stub_window DISPLAY LOG GEOMETRY
//
// The caller chooses argv[0] (the charting program's Windows path). GEOMETRY is
// "full" (the whole screen) or "WxH+X+Y". The window carries _NET_WM_PID and
// WM_CLASS "tdxw.exe"/"TdxW.exe" and appends one line per event to LOG:
// "ready" once it is mapped, "focus-in", "focus-out", "button-press N",
// "button-release N", "key-press K", "key-release K" (K the keysym's name on the
// key's first level). It runs until it is killed or its display goes.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int g_log = -1;

void Log(const std::string& line) {
  const std::string text = line + "\n";
  if (::write(g_log, text.data(), text.size()) < 0) _exit(3);
}

std::string KeyName(XKeyEvent* event) {
  const KeySym sym = XLookupKeysym(event, 0);
  const char* name = XKeysymToString(sym);
  return name != nullptr ? name : "?";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: stub_window DISPLAY LOG GEOMETRY\n");
    return 2;
  }
  g_log = ::open(argv[2], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (g_log < 0) return 2;
  Display* display = XOpenDisplay(argv[1]);
  if (display == nullptr) return 2;
  const int screen = DefaultScreen(display);
  const Window root = RootWindow(display, screen);
  unsigned width = static_cast<unsigned>(DisplayWidth(display, screen));
  unsigned height = static_cast<unsigned>(DisplayHeight(display, screen));
  int x = 0, y = 0;
  if (std::strcmp(argv[3], "full") != 0 && std::sscanf(argv[3], "%ux%u+%d+%d", &width, &height, &x, &y) != 4) return 2;

  const Window window = XCreateSimpleWindow(display, root, x, y, width, height, 0, BlackPixel(display, screen),
                                            WhitePixel(display, screen));
  XSelectInput(display, window,
               FocusChangeMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask | KeyReleaseMask |
                   StructureNotifyMask);
  const long pid = static_cast<long>(::getpid());
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  char instance[] = "tdxw.exe";
  char klass[] = "TdxW.exe";
  XClassHint hint{instance, klass};
  XSetClassHint(display, window, &hint);
  XStoreName(display, window, "TdxW stub");
  XMapWindow(display, window);

  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
    switch (event.type) {
      case MapNotify:
        Log("ready");
        break;
      case FocusIn:
        if (event.xfocus.detail != NotifyPointer) Log("focus-in");
        break;
      case FocusOut:
        if (event.xfocus.detail != NotifyPointer) Log("focus-out");
        break;
      case ButtonPress:
        Log("button-press " + std::to_string(event.xbutton.button));
        break;
      case ButtonRelease:
        Log("button-release " + std::to_string(event.xbutton.button));
        break;
      case KeyPress:
        Log("key-press " + KeyName(&event.xkey));
        break;
      case KeyRelease:
        Log("key-release " + KeyName(&event.xkey));
        break;
      default:
        break;
    }
  }
}
