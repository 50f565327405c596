"""A GTK 4 window with an entry, an entry that hides its text, a password entry and a text view.

The field named on the command line has the focus; the window's title holds every field's text
as JSON, so that a test reads them from the window's name.
"""
import json
import sys

import gi

gi.require_version("Gtk", "4.0")
from gi.repository import Gtk  # noqa: E402


def activate(app):
    window = Gtk.ApplicationWindow(application=app)
    box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL)
    hidden = Gtk.Entry(visibility=False)
    view = Gtk.TextView()
    view.set_size_request(300, 80)
    fields = {"line": Gtk.Entry(), "hidden": hidden, "password": Gtk.PasswordEntry(), "view": view}

    def text(field):
        if isinstance(field, Gtk.TextView):
            buffer = field.get_buffer()
            return buffer.get_text(buffer.get_start_iter(), buffer.get_end_iter(), True)
        return field.get_text()

    def report(*_):
        window.set_title(json.dumps({name: text(field) for name, field in fields.items()}))

    for name, field in fields.items():
        box.append(field)
        (field.get_buffer() if name == "view" else field).connect("changed", report)
    window.set_child(box)
    report()
    window.present()
    fields[sys.argv[1]].grab_focus()


app = Gtk.Application()
app.connect("activate", activate)
app.run([sys.argv[0]])
