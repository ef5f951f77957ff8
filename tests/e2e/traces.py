"""Reading Wine's traces: the texts of message boxes (+msgbox) and the shell
requests (+exec). Pure functions of the trace text."""
import re

# A wide string as Wine's debug channels print it: L"..." with C escapes and
# \NNNN (hexadecimal) for anything outside printable ASCII, "..." after it
# when cut short, or (null).
STRING = r'(L"(?:[^"\\]|\\.)*"(?:\.\.\.)?|\(null\))'
BOX_RE = re.compile(r"MSGBOX_OnInit " + STRING)
SHELL_RE = re.compile(r"SHELL_execute mask=(0x[0-9a-f]+) hwnd=(\w+) verb=%s file=%s parm=%s "
                      r"dir=%s show=(0x[0-9a-f]+)" % ((STRING,) * 4))
ESCAPES = {"n": "\n", "r": "\r", "t": "\t"}


def decode(token):
    """The text of a printed string (None for (null)), and whether it is whole."""
    if token == "(null)":
        return None, True
    whole = not token.endswith("...")
    body = token[2:-1] if whole else token[2:-4]
    text = re.sub(r"\\([0-9a-fA-F]{4}|.)", lambda m: chr(int(m.group(1), 16))
                  if len(m.group(1)) == 4 else ESCAPES.get(m.group(1), m.group(1)), body)
    return text, whole


def boxes(trace):
    return [decode(token)[0] for token in BOX_RE.findall(trace)]


def shell_requests(trace):
    """Each request with its texts decoded; `whole` is false when Wine cut a
    text short (it prints a few hundred characters at most)."""
    found = []
    for mask, hwnd, *texts, show in SHELL_RE.findall(trace):
        (verb, a), (file, b), (parameters, c), (directory, d) = map(decode, texts)
        found.append({"mask": int(mask, 16), "hwnd": int(hwnd, 16), "verb": verb, "file": file,
                      "parameters": parameters, "directory": directory, "show": int(show, 16),
                      "whole": a and b and c and d})
    return found


def requests_with_verb(trace, verb):
    return [r for r in shell_requests(trace) if r["verb"] == verb]
