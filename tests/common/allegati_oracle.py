"""What an independent XML parser says an invoice's attachments are, and how they are saved.

ElementTree (expat) finds every element whose local name is Allegati; the name and the text
are the string values of its first NomeAttachment and Attachment children, trimmed of every
character up to the blank. Saving drops a data-URL header (the first "base64," in any case and
everything before it), skips XML white space, and decodes; the file name is the safe form of
the attachment's name, numbered "name (2).ext", "name (3).ext" when taken in the same save.
"""
import base64
import re
import xml.etree.ElementTree as ET

UNEVEN = "Uneven size in DecodeToStream."
BLANKS = "".join(chr(c) for c in range(33))
INVISIBLE = re.compile("[\x00-\x1f\x7f\u200b-\u200f\u202a-\u202e\u2066-\u2069\ufeff]")


def local(tag):
    return tag.rsplit("}", 1)[-1] if isinstance(tag, str) else ""


def attachments(path):
    """(name, text) for each Allegati element with both, in document order."""
    found = []
    for element in ET.parse(path).getroot().iter():
        if local(element.tag) != "Allegati":
            continue
        fields = {}
        for child in element:
            fields.setdefault(local(child.tag), "".join(child.itertext()))
        name = fields.get("NomeAttachment", "").strip(BLANKS)
        data = fields.get("Attachment", "").strip(BLANKS)
        if name and data:
            found.append((name, data))
    return found


def to_decode(text):
    """The text the decoder gets: header dropped, XML white space skipped."""
    match = re.search("base64,", text, re.IGNORECASE)
    if match:
        text = text[match.end():]
    return "".join(c for c in text if c not in " \t\r\n")


def decoded(text):
    """The saved bytes, or None for an uneven text; only texts of the alphabet are decoded here."""
    text = to_decode(text)
    if len(text) % 4:
        return None
    return base64.b64decode(text, validate=True)


def visible(name):
    return INVISIBLE.sub("_", name)


def safe_name(name):
    name = re.split(r"[/\\]", name)[-1]
    if len(name) >= 2 and name[0].isascii() and name[0].isalpha() and name[1] == ":":
        name = name[2:]
    name = visible(name)
    if set(name) <= {"."}:
        return "allegato"
    return name


def numbered(name, n):
    dot = name.rfind(".")
    if dot <= 0:
        return "%s (%d)" % (name, n)
    return "%s (%d)%s" % (name[:dot], n, name[dot:])


def saved_names(names):
    """The file names one save of these attachments gives, into an empty folder."""
    used, result = set(), []
    for name in names:
        base, n = safe_name(name), 1
        candidate = base
        while candidate in used:
            n += 1
            candidate = numbered(base, n)
        used.add(candidate)
        result.append(candidate)
    return result
