#!/usr/bin/env python3
"""Writes the language files and the syntax theme dictionaries.

    python3 tools/langspecs/generate.py [resources/Resources]

The output is checked in; run this after changing a language module and
commit both. Property lists are XML, keys in the order the modules add them.
"""
import os
import plistlib
import struct
import sys

sys.path.append(os.path.dirname(os.path.abspath(__file__)))

import lang_css as css  # noqa: E402
import lang_html as html  # noqa: E402
import lang_javascript as javascript  # noqa: E402
import lang_perl as perl  # noqa: E402
import lang_php as php  # noqa: E402
import lang_ruby as ruby  # noqa: E402
import lang_xml as xml  # noqa: E402

LANGUAGES = [php, perl, html, xml, css, javascript, ruby]

# Display names of the 17 style slots, in slot order: the keys of a theme.
SLOTS = ["Built-in-Functions", "Classes", "Comments", "Constants", "Elements",
         "Functions", "Methods", "HTML", "Keywords", "Operators", "Strings",
         "Variables", "Instance Variables", "Global Variables", "Tag Titles",
         "Attributes", "Numbers"]


def style_bytes(name, rgb, bold=False, italic=False, underline=False):
    """One stored text style: 52 bytes, big-endian."""
    raw = name.encode("mac_roman")[:31]
    head = bytes([len(raw)]) + raw + bytes(31 - len(raw))
    return (head + struct.pack(">HHHHHHhh", rgb[0], rgb[1], rgb[2], 0, 0, 0, 0, 0)
            + bytes([int(bold), int(italic), int(underline), 0]))


def c(hex_colour):
    """"#rrggbb" as three 16-bit components."""
    v = int(hex_colour[1:], 16)
    return tuple(((v >> s) & 0xFF) * 0x101 for s in (16, 8, 0))


# Each theme: display name -> (colour, flags). Flags: b bold, i italic, u underline.
THEMES = {
    "Classic": {
        "Built-in-Functions": ("#3a5fa0", ""), "Classes": ("#8a1f86", "b"),
        "Comments": ("#7a7a52", "i"), "Constants": ("#0070c0", ""),
        "Elements": ("#007a3d", ""), "Functions": ("#6f2bb3", "b"),
        "Methods": ("#a0289c", ""), "HTML": ("#2b4c9a", ""),
        "Keywords": ("#005f8a", "b"), "Operators": ("#555555", ""),
        "Strings": ("#b0401c", ""), "Variables": ("#3c6e1e", ""),
        "Instance Variables": ("#1f7a4f", ""), "Global Variables": ("#806000", ""),
        "Tag Titles": ("#1a5fb4", "b"), "Attributes": ("#2a7ab0", ""),
        "Numbers": ("#1c3fd0", ""),
    },
    "Midnight": {
        "Built-in-Functions": ("#82aaff", ""), "Classes": ("#ffcb6b", "b"),
        "Comments": ("#6f7d95", "i"), "Constants": ("#f78c6c", ""),
        "Elements": ("#c3e88d", ""), "Functions": ("#82b1ff", "b"),
        "Methods": ("#c792ea", ""), "HTML": ("#89ddff", ""),
        "Keywords": ("#c792ea", "b"), "Operators": ("#89ddff", ""),
        "Strings": ("#c3e88d", ""), "Variables": ("#eeffff", ""),
        "Instance Variables": ("#f07178", ""), "Global Variables": ("#ffcb6b", ""),
        "Tag Titles": ("#f07178", "b"), "Attributes": ("#ffcb6b", ""),
        "Numbers": ("#f78c6c", ""),
    },
    "Paper": {
        "Built-in-Functions": ("#000000", ""), "Classes": ("#000000", "bu"),
        "Comments": ("#707070", "i"), "Constants": ("#000000", ""),
        "Elements": ("#000000", "b"), "Functions": ("#000000", "b"),
        "Methods": ("#000000", "b"), "HTML": ("#404040", ""),
        "Keywords": ("#000000", "b"), "Operators": ("#000000", ""),
        "Strings": ("#505050", ""), "Variables": ("#000000", ""),
        "Instance Variables": ("#000000", "i"), "Global Variables": ("#000000", "u"),
        "Tag Titles": ("#000000", "b"), "Attributes": ("#303030", ""),
        "Numbers": ("#000000", ""),
    },
}


def theme_plist(theme):
    out = {}
    for slot in SLOTS:
        colour, flags = theme[slot]
        out[slot] = style_bytes(slot, c(colour), "b" in flags, "i" in flags, "u" in flags)
    return out


CR_MARK = "\ue000"


def _mark_cr(value):
    if isinstance(value, str):
        return value.replace("\r", CR_MARK)
    if isinstance(value, list):
        return [_mark_cr(v) for v in value]
    if isinstance(value, dict):
        return {k: _mark_cr(v) for k, v in value.items()}
    return value


def write(path, value):
    # A raw carriage return would be read back as a line feed (XML line-end
    # handling, and the writer normalises it too); a character reference
    # keeps it, so carriage returns travel as a placeholder until then.
    data = plistlib.dumps(_mark_cr(value), fmt=plistlib.FMT_XML, sort_keys=False)
    data = data.replace(CR_MARK.encode("utf-8"), b"&#13;")
    old = open(path, "rb").read() if os.path.exists(path) else None
    if old != data:
        with open(path, "wb") as f:
            f.write(data)
        print("wrote", path)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    resources = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        here, "..", "..", "resources", "Resources")
    folder = os.path.join(resources, "Language Specifications")
    themes = os.path.join(resources, "Syntax Themes")
    os.makedirs(folder, exist_ok=True)
    os.makedirs(themes, exist_ok=True)
    for module in LANGUAGES:
        language = module.build()
        write(os.path.join(folder, language.key + ".plist"), language.plist())
    for name, theme in THEMES.items():
        write(os.path.join(themes, name + ".plist"), theme_plist(theme))


if __name__ == "__main__":
    main()
