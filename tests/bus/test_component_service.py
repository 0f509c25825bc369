#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""The mail component on the session bus, used as any program would use it.

Runs inside dbus-run-session: the first call starts orvex-component-service
from the build tree. Mail goes to the test SMTP server and comes back from
the test Dovecot (the CTest fixture mail_servers), account bus01.
"""
import glob
import os
import socket
import time
import unittest

from gi.repository import Gio, GLib

SERVICE = "org.orvex.Component"
SERVICE_PATH = "/org/orvex/Component"
USER, PASSWORD = "bus01", "secret-bus01"
NO_TIMEOUT = GLib.MAXINT


def read_servers():
    with open(os.environ["ORVEX_TEST_SERVERS"]) as env:
        return dict(line.rstrip("\n").split("=", 1) for line in env if "=" in line)


SERVERS = read_servers()


def mailbox_files():
    maildir = os.path.join(SERVERS["MAILDIR_ROOT"], USER, "Maildir")
    return glob.glob(os.path.join(maildir, "new", "*")) + glob.glob(os.path.join(maildir, "cur", "*"))


def iterate_until(done):
    context = GLib.MainContext.default()
    while not done():
        context.iteration(True)


def drain_events():
    while GLib.MainContext.default().iteration(False):
        pass


class Client:
    """A connection of its own to the bus: to the service, another client."""

    def __init__(self):
        address = Gio.dbus_address_get_for_bus_sync(Gio.BusType.SESSION, None)
        self.bus = Gio.DBusConnection.new_for_address_sync(
            address,
            Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION,
            None, None)

    def call(self, path, interface, member, signature="()", *args):
        parameters = GLib.Variant(signature, args) if args else None
        reply = self.bus.call_sync(SERVICE, path, interface, member, parameters, None,
                                   Gio.DBusCallFlags.NONE, NO_TIMEOUT, None)
        return reply.unpack()[0] if reply.n_children() == 1 else None

    def call_later(self, path, interface, member, signature, *args):
        """Starts a call; the returned dict gets "result" or "error"."""
        outcome = {}

        def finished(bus, result):
            try:
                outcome["result"] = bus.call_finish(result).unpack()
            except GLib.Error as error:
                outcome["error"] = error
        self.bus.call(SERVICE, path, interface, member, GLib.Variant(signature, args), None,
                      Gio.DBusCallFlags.NONE, NO_TIMEOUT, None, finished)
        return outcome

    def create(self, class_name, member="CreateObject"):
        return self.call(SERVICE_PATH, SERVICE, member, "(s)", class_name)

    def get(self, path, name, interface=""):
        return self.call(path, "org.freedesktop.DBus.Properties", "Get", "(ss)", interface, name)

    def set(self, path, name, value, interface=""):
        self.call(path, "org.freedesktop.DBus.Properties", "Set", "(ssv)", interface, name, value)

    def round_trip(self):
        self.bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus.Peer",
                           "Ping", None, None, Gio.DBusCallFlags.NONE, NO_TIMEOUT, None)

    def close(self):
        self.bus.close_sync(None)


def error_name(error):
    return Gio.DBusError.get_remote_error(error)


def silent_server():
    """A port that takes connections and never says a word."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    return listener


def connect_later(client, server_port):
    mailbox = client.create("orvex.POP3")
    return mailbox, client.call_later(mailbox, "org.orvex.POP3", "connect", "(sssi)",
                                      USER, PASSWORD, "127.0.0.1", server_port)


class ComponentServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.client = Client()
        # The service the bus starts trusts the servers' test certificate.
        cls.client.bus.call_sync(
            "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "UpdateActivationEnvironment", GLib.Variant("(a{ss})", ({"ORVEX_CA_FILE": SERVERS["CA_FILE"]},)),
            None, Gio.DBusCallFlags.NONE, NO_TIMEOUT, None)
        for path in mailbox_files():
            os.remove(path)

    def service_pid(self):
        return self.client.bus.call_sync(
            "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "GetConnectionUnixProcessID", GLib.Variant("(s)", (SERVICE,)), None,
            Gio.DBusCallFlags.NONE, NO_TIMEOUT, None).unpack()[0]

    def assert_error(self, name, call, *args):
        with self.assertRaises(GLib.Error) as raised:
            call(*args)
        self.assertEqual(error_name(raised.exception), name, raised.exception.message)
        return raised.exception.message

    def test_send_and_fetch_while_other_transfers_wait(self):
        # Two other clients each wait on a server that never answers; the
        # message still goes out and comes back meanwhile.
        silent = silent_server()
        self.addCleanup(silent.close)
        waiting_client, other_waiting_client = Client(), Client()
        waiting, waiting_connect = connect_later(waiting_client, silent.getsockname()[1])
        other_waiting, other_connect = connect_later(other_waiting_client, silent.getsockname()[1])

        c = self.client
        progress = []
        c.bus.signal_subscribe(None, "org.orvex.Message", "progress", None, None, Gio.DBusSignalFlags.NONE,
                               lambda *signal: progress.append(signal[5].unpack()[0]))
        message = c.create("orvex.Message")
        for name, value in [("from", "bus01@localhost"), ("subject", "总线上的信"), ("body", "你好，总线"),
                            ("mailserverpassword", "not-shown")]:
            c.set(message, name, GLib.Variant("s", value), "org.orvex.Message")
        self.assertEqual(c.get(message, "mailserverpassword"), "********")
        self.assertTrue(c.call(message, "org.orvex.Message", "addrecipient", "(s)", "bus01@localhost"))
        self.assertTrue(c.call(message, "org.orvex.Message", "send", "(s)", "127.0.0.1:" + SERVERS["SMTP_PORT"]))
        drain_events()
        self.assertTrue(progress, "no progress signal during the send")

        mailbox = c.create("orvex.POP3")
        self.assertTrue(c.call(mailbox, "org.orvex.POP3", "connect", "(sssi)",
                               USER, PASSWORD, "127.0.0.1", int(SERVERS["POP3_PORT"])))
        self.assertEqual(c.get(mailbox, "count"), 1)
        fetched = c.call(c.get(mailbox, "messages"), "org.orvex.Pop3Messages", "item", "(i)", 1)
        self.assertEqual(c.get(fetched, "subject", "org.orvex.Message"), "总线上的信")
        self.assertEqual(c.get(fetched, "from"), "bus01@localhost")
        self.assertEqual(c.call(fetched, "org.freedesktop.DBus.Properties", "GetAll", "(s)", "")["body"].strip(),
                         "你好，总线")
        recipient = c.call(c.get(fetched, "recipients"), "org.orvex.Recipients", "item", "(i)", 0)
        self.assertEqual(c.get(recipient, "email"), "bus01@localhost")
        self.assertTrue(c.call(mailbox, "org.orvex.POP3", "deletemessages"))
        self.assertTrue(c.call(mailbox, "org.orvex.POP3", "disconnect"))
        self.assertEqual(mailbox_files(), [])

        # Abandoning one transfer ends that one only.
        self.assertEqual(waiting_connect, {})
        waiting_client.call(waiting, "org.orvex.POP3", "abandon")
        iterate_until(lambda: waiting_connect)
        self.assertEqual(error_name(waiting_connect["error"]), "org.orvex.Error.Abandoned")
        other_waiting_client.round_trip()
        drain_events()
        self.assertEqual(other_connect, {})
        other_waiting_client.call(other_waiting, "org.orvex.POP3", "abandon")
        iterate_until(lambda: other_connect)
        self.assertIn("error", other_connect)

    def test_objects_go_with_their_client(self):
        leaving = Client()
        owned = leaving.create("orvex.Message")
        detached = leaving.create("orvex.Message", "CreateDetachedObject")
        for path in (owned, detached):
            self.client.set(path, "subject", GLib.Variant("s", "别人的信"))
        leaving.close()
        # The service learns of the departure in its own time.
        for _ in range(2000):
            try:
                self.client.get(owned, "subject")
            except GLib.Error as error:
                self.assertEqual(error_name(error), "org.orvex.Error.UnknownObject")
                break
            time.sleep(0.01)
        else:
            self.fail("the object outlived its client")
        self.assertEqual(self.client.get(detached, "subject"), "别人的信")
        self.client.call(SERVICE_PATH, SERVICE, "ReleaseObject", "(o)", detached)
        self.assert_error("org.orvex.Error.UnknownObject", self.client.get, detached, "subject")

    def test_bad_calls_get_errors(self):
        c = self.client
        message = c.create("ORVEX.message")  # class names ignore letter case
        pid = self.service_pid()
        node = Gio.DBusNodeInfo.new_for_xml(
            c.call(message, "org.freedesktop.DBus.Introspectable", "Introspect"))
        interface = node.lookup_interface("org.orvex.Message")
        self.assertEqual([a.signature for a in interface.lookup_method("send").in_args], ["s"])
        self.assertEqual(interface.lookup_property("recipients").signature, "o")
        self.assertIsNotNone(interface.lookup_signal("progressamount"))

        service = (SERVICE_PATH, SERVICE)
        rows = [
            ("org.orvex.Error.UnknownClass", c.call, *service, "CreateObject", "(s)", "orvex.NoSuchClass"),
            ("org.freedesktop.DBus.Error.InvalidArgs", c.call, *service, "CreateObject", "(i)", 1),
            ("org.orvex.Error.UnknownObject", c.call, *service, "ReleaseObject", "(o)", SERVICE_PATH + "/object/999999"),
            ("org.orvex.Error.NotReleasable", c.call, *service, "ReleaseObject", "(o)", c.get(message, "recipients")),
            ("org.orvex.Error.UnknownObject", c.get, SERVICE_PATH + "/object/x1", "subject"),
            ("org.freedesktop.DBus.Error.InvalidArgs", c.call, message, "org.orvex.Message", "send", "(i)", 25),
            ("org.freedesktop.DBus.Error.InvalidArgs", c.set, message, "subject", GLib.Variant("i", 1)),
            ("org.freedesktop.DBus.Error.PropertyReadOnly", c.set, message, "log", GLib.Variant("s", "")),
            ("org.freedesktop.DBus.Error.UnknownProperty", c.get, message, "nosuchproperty"),
            ("org.freedesktop.DBus.Error.UnknownMethod", c.call, message, "org.orvex.Message", "nosuchmethod"),
            ("org.orvex.Error.Failed", c.call, message, "org.orvex.Message", "addrecipient", "(s)", ""),
        ]
        for expected, call, *args in rows:
            with self.subTest(expected=expected, args=args):
                self.assert_error(expected, call, *args)

        mailbox = c.create("orvex.POP3")
        reason = self.assert_error("org.orvex.Error.Authentication", c.call, mailbox, "org.orvex.POP3", "connect", "(sssi)",
                                   USER, "wrong-bus-password", "127.0.0.1", int(SERVERS["POP3_PORT"]))
        self.assertIn("登录失败", reason)
        self.assertNotIn("wrong-bus-password", reason)
        self.assertEqual(self.service_pid(), pid)


if __name__ == "__main__":
    unittest.main(verbosity=2)
