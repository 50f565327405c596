#!/usr/bin/python3
"""A GTK target application for the desktop tests: an entry, a text view and a password entry
(an entry that hides its text) in one window, driven over stdin/stdout like the Qt one (text-fields), so that a
test reads what really arrived in the fields without going through the accessibility code under
test.

    gtk-fields.py 3|4
Commands, one per line; each gets one line of JSON:
    focus <entry|view|password>   move the keyboard focus there
    set <field> [<base64 utf-8>]   replace the field's text, caret at the end
    state                          {"entry", "view", "password": texts, "focus": field name,
                                    "cursor": caret of the focused field,
                                    "active": whether the window has the keyboard}
    quit
"""
import base64
import json
import os
import sys

import gi

VERSION = sys.argv[1] if len(sys.argv) > 1 else "3"
gi.require_version("Gtk", VERSION + ".0")
from gi.repository import GLib, Gtk  # noqa: E402

GTK4 = VERSION == "4"


def reply(obj):
    sys.stdout.write(json.dumps(obj) + "\n")
    sys.stdout.flush()


class Fields:
    def __init__(self):
        self.window = Gtk.Window(title="Velmora GTK test fields")
        self.window.set_default_size(500, 300)
        box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL, spacing=4)
        self.entry = Gtk.Entry()
        self.view = Gtk.TextView()
        self.view.set_size_request(-1, 120)
        self.password = Gtk.Entry()
        self.password.set_visibility(False)
        self.fields = {"entry": self.entry, "view": self.view, "password": self.password}
        for widget in (self.entry, self.view, self.password):
            if GTK4:
                box.append(widget)
            else:
                box.pack_start(widget, False, False, 0)
        if GTK4:
            self.window.set_child(box)
            self.window.connect("close-request", lambda *_: self.quit())
            self.window.present()
        else:
            self.window.add(box)
            self.window.connect("destroy", lambda *_: self.quit())
            self.window.show_all()
        self.pending = b""
        GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_IN | GLib.IO_HUP, self.read)
        GLib.idle_add(lambda: reply({"ready": True}) and False)

    def quit(self):
        if GTK4:
            loop.quit()
        else:
            Gtk.main_quit()

    def text(self, name):
        widget = self.fields[name]
        if widget is self.view:
            buffer = widget.get_buffer()
            return buffer.get_text(buffer.get_start_iter(), buffer.get_end_iter(), True)
        return widget.get_text()

    def focused(self):
        focus = self.window.get_focus()
        for name, widget in self.fields.items():
            # A GTK 4 entry's focus is on the text widget inside it.
            if focus is not None and (focus is widget or (GTK4 and focus.get_parent() is widget)):
                return name
        return ""

    def cursor(self, name):
        widget = self.fields.get(name)
        if widget is None:
            return -1
        if widget is self.view:
            buffer = widget.get_buffer()
            return buffer.get_iter_at_mark(buffer.get_insert()).get_offset()
        return widget.get_position()

    def read(self, fd, condition):
        chunk = os.read(fd, 65536)
        if not chunk:
            self.quit()
            return False
        self.pending += chunk
        while b"\n" in self.pending:
            line, self.pending = self.pending.split(b"\n", 1)
            line = line.strip()
            if line:
                self.run(line.decode())
        return True

    def run(self, line):
        words = line.split(" ")
        command = words[0]
        widget = self.fields.get(words[1]) if len(words) > 1 else None
        if command == "quit":
            reply({"ok": True})
            self.quit()
        elif command == "focus" and widget is not None:
            widget.grab_focus()
            reply({"ok": True})
        elif command == "set" and widget is not None:
            text = base64.b64decode(words[2]).decode() if len(words) > 2 else ""
            if widget is self.view:
                buffer = widget.get_buffer()
                buffer.set_text(text)
                buffer.place_cursor(buffer.get_end_iter())
            else:
                widget.set_text(text)
                widget.set_position(-1)
            reply({"ok": True})
        elif command == "cursor" and widget is not None and widget is not self.view:
            widget.set_position(int(words[2]))
            reply({"ok": True})
        elif command == "state":
            focus = self.focused()
            state = {name: self.text(name) for name in self.fields}
            state["focus"] = focus
            state["cursor"] = self.cursor(focus)
            state["active"] = self.window.is_active()
            reply(state)
        else:
            reply({"error": line})


fields = Fields()
if GTK4:
    loop = GLib.MainLoop()
    loop.run()
else:
    Gtk.main()
