#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Byteward developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""ModemManager and NetworkManager as Byteward sees them, on a bus of the test's choosing.

    network_services.py --address BUS_ADDRESS [--no-modem-manager] [--no-network-manager]
                        [--nonsense]

Owns org.freedesktop.ModemManager1 and org.freedesktop.NetworkManager (each unless told not
to) and org.byteward.Test, then prints "ready". It starts with no modem and no device.
--nonsense answers every property with the wrong type.

ModemManager: the object manager at /org/freedesktop/ModemManager1 (InterfacesAdded and
InterfacesRemoved), modems with the Modem, Modem3gpp and Modem.Simple interfaces
(Simple.Disconnect), bearers at /org/freedesktop/ModemManager1/Bearer/N (Connected,
Interface, Bearer.Connect and Bearer.Disconnect) and SIMs. NetworkManager: Devices,
ActivateConnection, DeviceAdded and DeviceRemoved, and devices (IpInterface, Interface,
DeviceType, State, Metered, Device.Disconnect, StateChanged). Every property change is
announced with PropertiesChanged.

The test drives it through org.byteward.Test.NetworkServices at /control:
    AddModem(s id) -> o               a modem whose control port is `id`
    RemoveModem(o modem)
    SetSim(o modem, s iccid, s operator)   a new SIM object; an empty ICCID takes the SIM out
    ConnectBearer(o modem, s interface) -> o   a new connected bearer; `interface` becomes a
                                               net port of the modem
    DisconnectBearer(o bearer)
    SetBearerInterface(o bearer, s interface)  the interface renamed
    SetRoaming(o modem, b roaming)         registration "roaming" (5) or "home" (1)
    SetRegistration(o modem, u state, s operator)
    SetSignalQuality(o modem, u percent)   a change that tells nothing about data
    AddDevice(s interface, u type) -> o    NetworkManager's device type: 1 Ethernet, 2 Wi-Fi,
                                           8 modem; it starts disconnected
    RemoveDevice(s interface)
    SetDevice(s interface, b active, u metered)
    Calls() -> as     the switching calls received, e.g. "Device.Disconnect /org/.../Devices/1"
    Quit()
"""

import argparse
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PROPERTIES = "org.freedesktop.DBus.Properties"
OBJECT_MANAGER = "org.freedesktop.DBus.ObjectManager"
MM = "org.freedesktop.ModemManager1"
MM_PATH = "/org/freedesktop/ModemManager1"
MODEM = MM + ".Modem"
MODEM_3GPP = MM + ".Modem.Modem3gpp"
MODEM_SIMPLE = MM + ".Modem.Simple"
BEARER = MM + ".Bearer"
SIM = MM + ".Sim"
NM = "org.freedesktop.NetworkManager"
NM_PATH = "/org/freedesktop/NetworkManager"
DEVICE = NM + ".Device"
CONTROL = "org.byteward.Test.NetworkServices"

PORT_AT, PORT_NET = 3, 2
REGISTERED_HOME, REGISTERED_ROAMING = 1, 5
DEVICE_DISCONNECTED, DEVICE_ACTIVATED = 30, 100


def failure(name, message):
    return dbus.exceptions.DBusException(message, name=name)


class Fake:
    def __init__(self, bus, nonsense):
        self.bus = bus
        self.nonsense = nonsense
        self.calls = []
        self.modems = {}
        self.bearers = {}
        self.devices = {}
        self.counts = {}

    def next_path(self, base):
        number = self.counts.get(base, 0)
        self.counts[base] = number + 1
        return "%s/%d" % (base, number)

    def shown(self, value):
        """What a property answers: with --nonsense, something of another type."""
        if not self.nonsense:
            return value
        if isinstance(value, str):
            return dbus.UInt32(7)
        return dbus.String("nonsense")

    def lookup(self, table, path):
        if path not in table:
            raise failure("org.freedesktop.DBus.Error.InvalidArgs", "unknown object " + path)
        return table[path]

    def device_named(self, interface):
        for device in self.devices.values():
            if device.interface == interface:
                return device
        raise failure("org.freedesktop.DBus.Error.InvalidArgs", "no device " + interface)


class PropertyObject(dbus.service.Object):
    """An object whose properties, by interface, answer Get and GetAll and announce changes."""

    def __init__(self, fake, path, properties):
        super().__init__(fake.bus, path)
        self.fake = fake
        self.path = path
        self.properties = properties

    def answer(self, interface):
        if interface not in self.properties:
            raise failure("org.freedesktop.DBus.Error.InvalidArgs", "no interface " + interface)
        return dbus.Dictionary(
            {name: self.fake.shown(value) for name, value in self.properties[interface].items()},
            signature="sv")

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.answer(interface)[name]

    @dbus.service.method(PROPERTIES, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self.answer(interface)

    @dbus.service.signal(PROPERTIES, signature="sa{sv}as")
    def PropertiesChanged(self, interface, changed, invalidated):
        pass

    def update(self, interface, **values):
        known = self.properties[interface]
        changed = {name: value for name, value in values.items() if known.get(name) != value}
        if not changed:
            return
        known.update(changed)
        self.PropertiesChanged(
            interface,
            dbus.Dictionary({name: self.fake.shown(v) for name, v in changed.items()},
                            signature="sv"),
            dbus.Array([], signature="s"))

    def drop(self):
        self.remove_from_connection()


def port_list(ports):
    return dbus.Array([dbus.Struct((name, dbus.UInt32(kind)), signature="su")
                       for name, kind in ports], signature="(su)")


class Modem(PropertyObject):
    def __init__(self, fake, port):
        super().__init__(fake, fake.next_path(MM_PATH + "/Modem"), {
            MODEM: {
                "Bearers": dbus.Array([], signature="o"),
                "Sim": dbus.ObjectPath("/"),
                "Ports": port_list([(port, PORT_AT)]),
                "DeviceIdentifier": dbus.String(port),
                "SignalQuality": dbus.Struct((dbus.UInt32(0), True), signature="ub"),
            },
            MODEM_3GPP: {
                "RegistrationState": dbus.UInt32(REGISTERED_HOME),
                "OperatorName": dbus.String(""),
            },
            MODEM_SIMPLE: {},
        })
        self.ports = [(port, PORT_AT)]
        self.bearer_paths = []
        self.sim = None

    def add_net_port(self, name, instead_of=None):
        ports = [(n, k) for n, k in self.ports if n != instead_of]
        if (name, PORT_NET) not in ports:
            ports.append((name, PORT_NET))
        self.ports = ports
        self.update(MODEM, Ports=port_list(ports))

    @dbus.service.method(MODEM_SIMPLE, in_signature="o")
    def Disconnect(self, bearer):
        self.fake.calls.append("Simple.Disconnect " + self.path)
        for path in self.bearer_paths:
            if bearer in ("/", path):
                self.fake.bearers[path].disconnect()


class Bearer(PropertyObject):
    def __init__(self, fake, modem, interface):
        super().__init__(fake, fake.next_path(MM_PATH + "/Bearer"), {
            BEARER: {"Connected": dbus.Boolean(True), "Interface": dbus.String(interface)},
        })
        self.modem = modem
        self.interface = interface

    def connect(self):
        self.update(BEARER, Connected=dbus.Boolean(True), Interface=dbus.String(self.interface))

    def disconnect(self):
        self.update(BEARER, Connected=dbus.Boolean(False), Interface=dbus.String(""))

    def rename(self, interface):
        self.modem.add_net_port(interface, instead_of=self.interface)
        self.interface = interface
        if self.properties[BEARER]["Connected"]:
            self.update(BEARER, Interface=dbus.String(interface))

    @dbus.service.method(BEARER)
    def Connect(self):
        self.fake.calls.append("Bearer.Connect " + self.path)
        self.connect()

    @dbus.service.method(BEARER)
    def Disconnect(self):
        self.fake.calls.append("Bearer.Disconnect " + self.path)
        self.disconnect()


class Sim(PropertyObject):
    def __init__(self, fake, iccid, operator):
        super().__init__(fake, fake.next_path(MM_PATH + "/SIM"), {
            SIM: {
                "SimIdentifier": dbus.String(iccid),
                "Imsi": dbus.String("001010" + iccid[-9:]),
                "OperatorName": dbus.String(operator),
            },
        })


class ModemManagerRoot(dbus.service.Object):
    def __init__(self, fake):
        super().__init__(fake.bus, MM_PATH)
        self.fake = fake

    def interfaces_of(self, modem):
        return dbus.Dictionary({interface: modem.answer(interface)
                                for interface in modem.properties}, signature="sa{sv}")

    @dbus.service.method(OBJECT_MANAGER, out_signature="a{oa{sa{sv}}}")
    def GetManagedObjects(self):
        return dbus.Dictionary({path: self.interfaces_of(modem)
                                for path, modem in self.fake.modems.items()},
                               signature="oa{sa{sv}}")

    @dbus.service.signal(OBJECT_MANAGER, signature="oa{sa{sv}}")
    def InterfacesAdded(self, path, interfaces):
        pass

    @dbus.service.signal(OBJECT_MANAGER, signature="oas")
    def InterfacesRemoved(self, path, interfaces):
        pass


class Device(PropertyObject):
    def __init__(self, fake, interface, kind):
        super().__init__(fake, fake.next_path(NM_PATH + "/Devices"), {
            DEVICE: {
                "Interface": dbus.String(interface),
                "IpInterface": dbus.String(""),
                "DeviceType": dbus.UInt32(kind),
                "State": dbus.UInt32(DEVICE_DISCONNECTED),
                "Metered": dbus.UInt32(0),
            },
        })
        self.interface = interface

    def set_state(self, active, metered=None):
        before = int(self.properties[DEVICE]["State"])
        now = DEVICE_ACTIVATED if active else DEVICE_DISCONNECTED
        if now != before:
            self.StateChanged(dbus.UInt32(now), dbus.UInt32(before), dbus.UInt32(0))
        values = {"State": dbus.UInt32(now),
                  "IpInterface": dbus.String(self.interface if active else "")}
        if metered is not None:
            values["Metered"] = dbus.UInt32(metered)
        self.update(DEVICE, **values)

    @dbus.service.signal(DEVICE, signature="uuu")
    def StateChanged(self, now, before, reason):
        pass

    @dbus.service.method(DEVICE)
    def Disconnect(self):
        self.fake.calls.append("Device.Disconnect " + self.path)
        if self.properties[DEVICE]["State"] != DEVICE_ACTIVATED:
            raise failure(NM + ".DeviceError.NotActive", "This device is not active")
        self.set_state(False)


class NetworkManagerRoot(PropertyObject):
    def __init__(self, fake):
        super().__init__(fake, NM_PATH, {NM: {"Devices": dbus.Array([], signature="o")}})
        self.activations = 0

    def publish_devices(self):
        self.update(NM, Devices=dbus.Array(list(self.fake.devices), signature="o"))

    @dbus.service.method(NM, out_signature="ao")
    def GetDevices(self):
        return dbus.Array(list(self.fake.devices), signature="o")

    @dbus.service.method(NM, in_signature="ooo", out_signature="o")
    def ActivateConnection(self, connection, device, specific):
        self.fake.calls.append("ActivateConnection " + device)
        self.fake.lookup(self.fake.devices, device).set_state(True)
        self.activations += 1
        return dbus.ObjectPath("%s/ActiveConnection/%d" % (NM_PATH, self.activations))

    @dbus.service.signal(NM, signature="o")
    def DeviceAdded(self, path):
        pass

    @dbus.service.signal(NM, signature="o")
    def DeviceRemoved(self, path):
        pass


class Control(dbus.service.Object):
    def __init__(self, fake, modem_manager, network_manager, loop):
        super().__init__(fake.bus, "/control")
        self.fake = fake
        self.mm = modem_manager
        self.nm = network_manager
        self.loop = loop

    def modem(self, path):
        return self.fake.lookup(self.fake.modems, path)

    @dbus.service.method(CONTROL, in_signature="s", out_signature="o")
    def AddModem(self, port):
        modem = Modem(self.fake, port)
        self.fake.modems[modem.path] = modem
        self.mm.InterfacesAdded(modem.path, self.mm.interfaces_of(modem))
        return modem.path

    @dbus.service.method(CONTROL, in_signature="o")
    def RemoveModem(self, path):
        modem = self.fake.modems.pop(path)
        self.mm.InterfacesRemoved(path, dbus.Array(list(modem.properties), signature="s"))
        modem.drop()

    @dbus.service.method(CONTROL, in_signature="oss")
    def SetSim(self, path, iccid, operator):
        modem = self.modem(path)
        if modem.sim is not None:
            modem.sim.drop()
        modem.sim = Sim(self.fake, iccid, operator) if iccid else None
        modem.update(MODEM, Sim=dbus.ObjectPath(modem.sim.path if modem.sim else "/"))

    @dbus.service.method(CONTROL, in_signature="os", out_signature="o")
    def ConnectBearer(self, path, interface):
        modem = self.modem(path)
        bearer = Bearer(self.fake, modem, interface)
        self.fake.bearers[bearer.path] = bearer
        modem.bearer_paths.append(bearer.path)
        modem.update(MODEM, Bearers=dbus.Array(modem.bearer_paths, signature="o"))
        modem.add_net_port(interface)
        return bearer.path

    @dbus.service.method(CONTROL, in_signature="o")
    def DisconnectBearer(self, path):
        self.fake.lookup(self.fake.bearers, path).disconnect()

    @dbus.service.method(CONTROL, in_signature="os")
    def SetBearerInterface(self, path, interface):
        self.fake.lookup(self.fake.bearers, path).rename(interface)

    @dbus.service.method(CONTROL, in_signature="ob")
    def SetRoaming(self, path, roaming):
        self.modem(path).update(MODEM_3GPP, RegistrationState=dbus.UInt32(
            REGISTERED_ROAMING if roaming else REGISTERED_HOME))

    @dbus.service.method(CONTROL, in_signature="ous")
    def SetRegistration(self, path, state, operator):
        self.modem(path).update(MODEM_3GPP, RegistrationState=dbus.UInt32(state),
                                OperatorName=dbus.String(operator))

    @dbus.service.method(CONTROL, in_signature="ou")
    def SetSignalQuality(self, path, percent):
        self.modem(path).update(MODEM, SignalQuality=dbus.Struct((dbus.UInt32(percent), True),
                                                                 signature="ub"))

    @dbus.service.method(CONTROL, in_signature="su", out_signature="o")
    def AddDevice(self, interface, kind):
        device = Device(self.fake, interface, kind)
        self.fake.devices[device.path] = device
        self.nm.DeviceAdded(device.path)
        self.nm.publish_devices()
        return device.path

    @dbus.service.method(CONTROL, in_signature="s")
    def RemoveDevice(self, interface):
        device = self.fake.device_named(interface)
        del self.fake.devices[device.path]
        self.nm.DeviceRemoved(device.path)
        self.nm.publish_devices()
        device.drop()

    @dbus.service.method(CONTROL, in_signature="sbu")
    def SetDevice(self, interface, active, metered):
        self.fake.device_named(interface).set_state(active, metered)

    @dbus.service.method(CONTROL, out_signature="as")
    def Calls(self):
        return dbus.Array(self.fake.calls, signature="s")

    @dbus.service.method(CONTROL)
    def Quit(self):
        GLib.idle_add(self.loop.quit)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--address", required=True)
    parser.add_argument("--no-modem-manager", action="store_true")
    parser.add_argument("--no-network-manager", action="store_true")
    parser.add_argument("--nonsense", action="store_true")
    options = parser.parse_args()

    loop = GLib.MainLoop()
    bus = dbus.bus.BusConnection(options.address, mainloop=DBusGMainLoop())
    fake = Fake(bus, options.nonsense)
    modem_manager = ModemManagerRoot(fake)
    network_manager = NetworkManagerRoot(fake)
    Control(fake, modem_manager, network_manager, loop)
    names = [dbus.service.BusName("org.byteward.Test", bus, do_not_queue=True)]
    if not options.no_modem_manager:
        names.append(dbus.service.BusName(MM, bus, do_not_queue=True))
    if not options.no_network_manager:
        names.append(dbus.service.BusName(NM, bus, do_not_queue=True))
    print("ready", flush=True)
    loop.run()
    return 0


if __name__ == "__main__":
    sys.exit(main())
