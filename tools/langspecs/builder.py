"""A small builder for the language property lists.

Each language module builds a Language; generate.py writes it as an XML property
list. Keys keep the order in which they are added, which is the order the
loader reads definitions in (first match wins in the scan engine).
"""

# Ranges and contexts shared by the language modules.
LINE = r"\r"        # close at any line break (not included)
# The text engine separates lines with a carriage return, so a line break
# inside an open or close text is that character.
CR = "\r"
END_OF_TEXT = r"\f"  # close at the end of the text

CLASS_ORDER = ["range", "keyword", "embedded-language", "prefix",
               "expression", "scope", "scope-block", "custom"]


def _key(name):
    return name.replace("_", "-")


class Language:
    def __init__(self, key, display, charset=None, autopair=None, root=None):
        self.key = key
        self.info = {"info: display-name": display}
        if charset:
            self.info["info: character-set"] = list(charset)
        if autopair:
            self.info["info: auto-pair"] = list(autopair)
        if root:
            self.info["info: root-language"] = root
        self.classes = {c: {} for c in CLASS_ORDER}
        self.keyword_words = {}  # context -> words of the keyword sets so far

    def _define(self, cls, name, fields):
        defs = self.classes[cls]
        key = "define: " + name
        if key in defs:
            raise ValueError("%s: definition %r twice" % (self.key, name))
        body = {}
        for k, v in fields.items():
            if v is None or v is False:
                continue
            k = _key(k)
            if isinstance(v, int) and not isinstance(v, bool):
                v = str(v)  # precedence and token are strings of digits
            if isinstance(v, (set, frozenset)):
                v = sorted(v)
            body[k] = v
        defs[key] = body

    def range(self, name, **f):
        self._define("range", name, f)

    def range_in(self, context, names, suffix):
        """The ranges of those names again, opening in another context too
        (a definition names one context)."""
        for name in names:
            body = dict(self.classes["range"]["define: " + name])
            body["context"] = context
            key = "define: %s %s" % (name, suffix)
            if key in self.classes["range"]:
                raise ValueError("%s: definition %r twice" % (self.key, key))
            self.classes["range"][key] = body

    def keyword(self, name, words, **f):
        # The first keyword set holding a word wins, so a word already in an
        # earlier set of the same context is left out of this one.
        seen = self.keyword_words.setdefault(f.get("context", ""), set())
        words = [w.lower() for w in words]
        unique = [w for w in words if not (w in seen or seen.add(w))]
        f = dict(keywords=unique, **f)
        self._define("keyword", name, f)

    def embed(self, name, **f):
        self._define("embedded-language", name, f)

    def prefix(self, name, **f):
        self._define("prefix", name, f)

    def expression(self, name, **f):
        self._define("expression", name, f)

    def scope_block(self, name, **f):
        self._define("scope-block", name, f)

    def plist(self):
        root = dict(self.info)
        for c in CLASS_ORDER:
            if self.classes[c]:
                root["class: " + c] = self.classes[c]
        return root


# Common action sets.
SYMBOL = ["symbol", "menu", "navigate", "track", "style"]
