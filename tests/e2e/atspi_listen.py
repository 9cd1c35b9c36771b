#!/usr/bin/python3
# A screen reader's share of the accessibility bus, for measuring: turns the
# bridge on, registers for the object events a screen reader listens to and
# counts what arrives until killed (SIGTERM), then prints the counts.
import signal, sys, collections, time, statistics
import dbus, dbus.mainloop.glib
from gi.repository import GLib

dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
session = dbus.SessionBus()
bus_obj = session.get_object("org.a11y.Bus", "/org/a11y/bus")
props = dbus.Interface(bus_obj, "org.freedesktop.DBus.Properties")
props.Set("org.a11y.Status", "IsEnabled", dbus.Boolean(True))
props.Set("org.a11y.Status", "ScreenReaderEnabled", dbus.Boolean(True))
address = dbus.Interface(bus_obj, "org.a11y.Bus").GetAddress()
a11y = dbus.bus.BusConnection(address)
registry = dbus.Interface(a11y.get_object("org.a11y.atspi.Registry", "/org/a11y/atspi/registry"),
                          "org.a11y.atspi.Registry")
for event in ["object:property-change", "object:state-changed", "object:text-changed",
              "object:value-changed", "object:children-changed", "focus:", "window:"]:
    registry.RegisterEvent(event, dbus.Array([], signature="s"), "")
counts = collections.Counter()
per_second = collections.Counter()
def on_signal(*args, **kw):
    counts[kw["interface"].rsplit(".", 1)[-1] + ":" + kw["member"] + ":" + str(args[0])] += 1
    per_second[int(time.monotonic())] += 1
for itf in ["org.a11y.atspi.Event.Object", "org.a11y.atspi.Event.Focus", "org.a11y.atspi.Event.Window"]:
    a11y.add_signal_receiver(on_signal, dbus_interface=itf, interface_keyword="interface",
                             member_keyword="member")
loop = GLib.MainLoop()
def stop(*_):
    loop.quit()
signal.signal(signal.SIGTERM, stop)
signal.signal(signal.SIGINT, stop)
GLib.timeout_add(100, lambda: True)  # lets Python see the signals
print("listening", flush=True)
loop.run()
total = sum(counts.values())
# Connecting enables every control at once; the median second is the steady
# rate while polling.
rates = [per_second[s] for s in range(min(per_second, default=0), max(per_second, default=-1) + 1)]
print("events", total, "in all; per second, median", statistics.median(rates) if rates else 0,
      flush=True)
for k, v in counts.most_common(20):
    print(f"  {v:7d} {k}", flush=True)
