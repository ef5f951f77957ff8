"""Reading Wine's traces: the message box calls (+relay, with the prefix's
RelayInclude set to the two box functions) and the shell requests (+exec).
Pure functions of the trace text."""
import re

# A string as Wine's debug channels print it: L"..." (wide) with C escapes
# and \NNNN (hexadecimal) for a unit outside printable ASCII, or "..." (narrow)
# with \xNN for such a byte; "..." after it when cut short; or (null).
STRING = r'(L?"(?:[^"\\]|\\.)*"(?:\.\.\.)?|\(null\))'
# The relay's line for a box call: owner, text, caption (each string after
# its address) and style, all in hexadecimal.
BOX_RE = re.compile(r"Call user32\.(MessageBox[AW])\((\w+),\w+ %s,\w+ %s,(\w+)\)"
                    % (STRING, STRING))
SHELL_RE = re.compile(r"SHELL_execute mask=(0x[0-9a-f]+) hwnd=(\w+) verb=%s file=%s parm=%s "
                      r"dir=%s show=(0x[0-9a-f]+)" % ((STRING,) * 4))
ESCAPES = {"n": "\n", "r": "\r", "t": "\t"}


def decode(token):
    """The text of a printed string (None for (null)), and whether it is whole.
    A narrow one is read as UTF-8, as the launcher writes its texts."""
    if token == "(null)":
        return None, True
    whole, wide = not token.endswith("..."), token.startswith("L")
    body = token[1 + wide:-1] if whole else token[1 + wide:-4]
    escape = lambda m: ESCAPES.get(m.group(1), m.group(1))
    if wide:
        return re.sub(r"\\([0-9a-fA-F]{4}|.)", lambda m: chr(int(m.group(1), 16))
                      if len(m.group(1)) == 4 else escape(m), body), whole
    raw = re.sub(r"\\(x[0-9a-fA-F]{2}|.)", lambda m: chr(int(m.group(1)[1:], 16))
                 if len(m.group(1)) == 3 else escape(m), body)
    return raw.encode("latin-1").decode("utf-8", errors="replace"), whole


def box_calls(trace):
    """Each box call: the function, its owner, text, caption and style, and
    whether both texts are whole."""
    found = []
    for function, owner, *texts, style in BOX_RE.findall(trace):
        (text, a), (caption, b) = map(decode, texts)
        found.append({"function": function, "owner": int(owner, 16), "text": text,
                      "caption": caption, "style": int(style, 16), "whole": a and b})
    return found


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
