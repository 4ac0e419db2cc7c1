"""A learner's desktop as the subjects find it: a runtime folder, a session bus with the services
a desktop already runs, the microphone granted to the client, and, when asked, a sound server
with a virtual microphone."""

import os
import shutil
import subprocess
import time

APPLICATION_ID = "com.pelunnalabs.Labs"


class Desktop:
    """One desktop in its own folder: a second client needs its own, or it would only activate
    the first (one instance per application and session bus)."""

    def __init__(self, root, environ, sound=False):
        self.root = root
        self.bus = self.sound = None
        self.env = dict(environ)
        self.env["XDG_RUNTIME_DIR"] = os.path.join(root, "runtime")
        for name in ("DATA", "CACHE", "CONFIG"):
            self.env[f"XDG_{name}_HOME"] = os.path.join(root, "desktop", name.lower())
        for folder in ("XDG_RUNTIME_DIR", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"):
            os.makedirs(self.env[folder], mode=0o700, exist_ok=True)
        try:
            self._start_bus()
            if sound:
                self._start_sound()
        except BaseException:
            self.close()
            raise

    def _start_bus(self):
        address = "unix:path=" + os.path.join(self.env["XDG_RUNTIME_DIR"], "bus")
        self.bus = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + address],
            env=self.env, stdout=subprocess.DEVNULL,
            stderr=open(os.path.join(self.root, "dbus.log"), "w"))
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        deadline = time.monotonic() + 10
        while self._gdbus("org.freedesktop.DBus", "/org/freedesktop/DBus",
                          "org.freedesktop.DBus.GetId") != 0:
            if time.monotonic() > deadline or self.bus.poll() is not None:
                raise RuntimeError("the benchmark's session bus did not start")
            time.sleep(0.05)
        self._gdbus("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress")
        self._gdbus("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                    "org.freedesktop.DBus.Peer.Ping")
        store = "org.freedesktop.impl.portal.PermissionStore"
        if self._gdbus(store, "/org/freedesktop/impl/portal/PermissionStore",
                       store + ".SetPermission", "devices", "true", "microphone",
                       APPLICATION_ID, "['yes']") != 0:
            raise RuntimeError("cannot grant the microphone in the permission store")

    def _start_sound(self):
        """Where the engine's sandboxed page process looks for one: the runtime folder. The
        virtual microphone hears what plays into its sink, here silence."""
        self.sound = subprocess.Popen(
            ["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "-n",
             "--load=module-native-protocol-unix",
             "--load=module-null-sink sink_name=virtmic_sink",
             "--load=module-remap-source master=virtmic_sink.monitor source_name=virtmic"],
            env=self.env, stdout=subprocess.DEVNULL,
            stderr=open(os.path.join(self.root, "pulseaudio.log"), "w"))
        deadline = time.monotonic() + 10
        while subprocess.run(["pactl", "set-default-source", "virtmic"], env=self.env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                             timeout=30).returncode != 0:
            if time.monotonic() > deadline or self.sound.poll() is not None:
                raise RuntimeError("the benchmark's sound server did not start")
            time.sleep(0.1)

    def _gdbus(self, destination, path, method, *args):
        return subprocess.run(
            ["gdbus", "call", "--session", "--dest", destination, "--object-path", path,
             "--method", method, *args],
            env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            timeout=30).returncode

    def close(self):
        for server in (self.sound, self.bus):
            if server is not None:
                server.terminate()
                server.wait(10)
        # The document portal may have mounted itself in the runtime folder.
        doc = os.path.join(self.env["XDG_RUNTIME_DIR"], "doc")
        if os.path.ismount(doc):
            subprocess.run(["fusermount3", "-u", "-z", doc], check=False)
        shutil.rmtree(self.root, ignore_errors=True)
