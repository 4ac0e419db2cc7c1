"""The X server as the benchmark sees it: when a program's window first gets pixels, and keys
typed as a user would (XTEST), through libX11 with ctypes so that nothing else is needed."""

import ctypes
import ctypes.util
import os
import select
import threading
import time

_CREATE_NOTIFY = 16
_SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
_DAMAGE_REPORT_NON_EMPTY = 3
_XA_CARDINAL = 6


def _load(name, soname):
    return ctypes.CDLL(ctypes.util.find_library(name) or soname)


_x11 = _load("X11", "libX11.so.6")
_xdamage = _load("Xdamage", "libXdamage.so.1")
_xtst = _load("Xtst", "libXtst.so.6")

_x11.XOpenDisplay.restype = ctypes.c_void_p
_x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
_x11.XDefaultRootWindow.restype = ctypes.c_ulong
_x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
_x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
_x11.XConnectionNumber.argtypes = [ctypes.c_void_p]
_x11.XPending.argtypes = [ctypes.c_void_p]
_x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
_x11.XFlush.argtypes = [ctypes.c_void_p]
_x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
_x11.XInternAtom.restype = ctypes.c_ulong
_x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
_x11.XGetWindowProperty.argtypes = [
    ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long, ctypes.c_int,
    ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_int),
    ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_ulong),
    ctypes.POINTER(ctypes.c_void_p)]
_x11.XFree.argtypes = [ctypes.c_void_p]
_x11.XKeysymToKeycode.restype = ctypes.c_ubyte
_x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
_x11.XStringToKeysym.restype = ctypes.c_ulong
_x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
_x11.XSetErrorHandler.argtypes = [_ERROR_HANDLER]
_xdamage.XDamageQueryExtension.argtypes = [
    ctypes.c_void_p, ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int)]
_xdamage.XDamageCreate.restype = ctypes.c_ulong
_xdamage.XDamageCreate.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int]
_xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]


# A window that vanished before we looked at it raises BadWindow, which must not end the harness.
@_ERROR_HANDLER
def _ignore_errors(_display, _event):
    return 0


_x11.XInitThreads()
_x11.XSetErrorHandler(_ignore_errors)


class _XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("pad", ctypes.c_long * 24)]


class _XCreateWindowEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("parent", ctypes.c_ulong),
                ("window", ctypes.c_ulong)]


class _XDamageNotifyEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("drawable", ctypes.c_ulong),
                ("damage", ctypes.c_ulong)]


def _open():
    display = _x11.XOpenDisplay(os.environ["DISPLAY"].encode())
    if not display:
        raise RuntimeError("cannot open display " + os.environ["DISPLAY"])
    return display


class FirstFrames:
    """Watches every top-level window the X server creates and notes, per owning process, the
    moment the first pixels reach one of its windows (X DAMAGE, reported once per window)."""

    def __init__(self):
        self._display = _open()
        event_base, error_base = ctypes.c_int(), ctypes.c_int()
        if not _xdamage.XDamageQueryExtension(self._display, ctypes.byref(event_base),
                                              ctypes.byref(error_base)):
            raise RuntimeError("the X server has no DAMAGE extension")
        self._damage_notify = event_base.value
        self._pid_atom = _x11.XInternAtom(self._display, b"_NET_WM_PID", False)
        self._root = _x11.XDefaultRootWindow(self._display)
        _x11.XSelectInput(self._display, self._root, _SUBSTRUCTURE_NOTIFY_MASK)
        _x11.XSync(self._display, False)
        self._lock = threading.Condition()
        self._frames = {}  # pid -> (monotonic time, window)
        self._stopping = False
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def _window_pid(self, window):
        kind, fmt = ctypes.c_ulong(), ctypes.c_int()
        count, after, data = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p()
        status = _x11.XGetWindowProperty(
            self._display, window, self._pid_atom, 0, 1, False, _XA_CARDINAL, ctypes.byref(kind),
            ctypes.byref(fmt), ctypes.byref(count), ctypes.byref(after), ctypes.byref(data))
        pid = None
        if status == 0 and data.value:
            if count.value == 1 and fmt.value == 32:
                pid = ctypes.cast(data, ctypes.POINTER(ctypes.c_ulong))[0]
            _x11.XFree(data)
        return pid

    def _run(self):
        event = _XEvent()
        fd = _x11.XConnectionNumber(self._display)
        while not self._stopping:
            if not _x11.XPending(self._display):
                select.select([fd], [], [], 0.2)
                continue
            _x11.XNextEvent(self._display, ctypes.byref(event))
            now = time.monotonic()
            if event.type == _CREATE_NOTIFY:
                created = ctypes.cast(ctypes.byref(event),
                                      ctypes.POINTER(_XCreateWindowEvent)).contents
                _xdamage.XDamageCreate(self._display, created.window, _DAMAGE_REPORT_NON_EMPTY)
                _x11.XFlush(self._display)
            elif event.type == self._damage_notify:
                damaged = ctypes.cast(ctypes.byref(event),
                                      ctypes.POINTER(_XDamageNotifyEvent)).contents
                # The window manager's frames carry no owner: only a program's own windows count.
                pid = self._window_pid(damaged.drawable)
                if pid is not None:
                    with self._lock:
                        self._frames.setdefault(pid, (now, damaged.drawable))
                        self._lock.notify_all()

    def wait_first_frame(self, pid, timeout):
        """(time, window) of the first frame of a window owned by pid, or None after timeout."""
        with self._lock:
            self._lock.wait_for(lambda: pid in self._frames, timeout)
            return self._frames.get(pid)

    def close(self):
        self._stopping = True
        self._thread.join()
        _x11.XCloseDisplay(self._display)


class Keyboard:
    """Types keys through XTEST, as a user's keyboard would: toolkits ignore synthetic events."""

    def __init__(self):
        self._display = _open()

    def _code(self, name):
        return _x11.XKeysymToKeycode(self._display, _x11.XStringToKeysym(name.encode()))

    def press(self, *names):
        """Presses the keys in order and releases them in reverse: press("Control_L", "q")."""
        codes = [self._code(name) for name in names]
        for code in codes:
            _xtst.XTestFakeKeyEvent(self._display, code, True, 0)
        for code in reversed(codes):
            _xtst.XTestFakeKeyEvent(self._display, code, False, 0)
        _x11.XSync(self._display, False)

    def close(self):
        _x11.XCloseDisplay(self._display)
