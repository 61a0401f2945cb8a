#!/usr/bin/env python3
"""Makes the release zip's README.txt: the head of packaging/README.txt.in, then README.md's user
guide, the part between its two markers, as plain text for Notepad.

    readme_text.py README.md README.txt.in VERSION OUTPUT

One source, so that the two cannot drift: whatever the README tells a user, the zip tells too.
The README's Markdown is a small subset, and anything outside it (a heading below "##", a nested
list, a code block, HTML) stops the conversion with the line it met, rather than reaching a user
as Markdown. Pictures, and the italic caption after them, are left out.
Written in UTF-8 with a byte-order mark and CR LF line ends: the About box's text is Chinese,
and Notepad of every Windows 10 and 11 reads such a file right.
"""
import re
import sys
import textwrap

BEGIN = "<!-- README.txt begins here"
END = "<!-- README.txt ends here"
WIDTH = 78
SHORT_CODE = 70
NO_BREAK = "\x01"  # a blank that textwrap does not break at
CODE = re.compile(r"`([^`]*)`")
LINK = re.compile(r"\[([^\]]+)\]\(([^)\s]+)\)")
IMAGE = re.compile(r"^!\[[^\]]*\]\([^)]*\)$")
BULLET = re.compile(r"^- ")
NUMBERED = re.compile(r"^(\d+)\. ")


class Unsupported(Exception):
    pass


def user_guide(readme):
    lines = readme.splitlines()
    starts = [i for i, line in enumerate(lines) if line.startswith(BEGIN)]
    ends = [i for i, line in enumerate(lines) if line.startswith(END)]
    if len(starts) != 1 or len(ends) != 1 or ends[0] < starts[0]:
        raise Unsupported("README.md needs one line starting %r and one after it starting %r" % (BEGIN, END))
    return lines[starts[0] + 1:ends[0]], starts[0] + 2


def code(span):
    """A code span as plain text. One with a blank in it (a log line, a path, options) is put in
    double quotes, so that it stands apart from the words around it, unless it holds quotes of
    its own; one of up to SHORT_CODE characters is never broken across lines."""
    if " " in span and '"' not in span:
        span = '"%s"' % span
    return span.replace(" ", NO_BREAK) if len(span) <= SHORT_CODE else span


def link(match):
    text, url = match.group(1), match.group(2)
    return url if url.split("://")[-1].rstrip("/") == text else "%s (%s)" % (text, url)


def plain(text, where):
    """Inline Markdown to plain text: code spans, links, bold and italic."""
    spans = []

    def keep(match):
        spans.append(code(match.group(1)))
        return "\0%d\0" % (len(spans) - 1)

    text = CODE.sub(keep, text)
    text = LINK.sub(link, text)
    text = re.sub(r"\*\*([^*]+)\*\*", r"\1", text)
    text = re.sub(r"(?<![\w*])\*([^*\s][^*]*)\*(?![\w*])", r"\1", text)
    for mark in ("*", "`", "<", "[", "]("):
        if mark in text:
            raise Unsupported("line %d: %r left in %r" % (where, mark, text))
    return re.sub("\0(\\d+)\0", lambda m: spans[int(m.group(1))], text)


def wrap(text, first="", rest=""):
    lines = textwrap.wrap(text, WIDTH, initial_indent=first, subsequent_indent=rest, break_long_words=False,
                          break_on_hyphens=False) or [first.rstrip()]
    return [line.replace(NO_BREAK, " ") for line in lines]


def cells(row):
    # Split on the bars outside code spans.
    parts, current, in_code = [], "", False
    for char in row.strip().strip("|"):
        if char == "`":
            in_code = not in_code
        if char == "|" and not in_code:
            parts.append(current.strip())
            current = ""
        else:
            current += char
    parts.append(current.strip())
    return parts


def blocks(lines, first_number):
    """Yields (lines, number of the first) for each block between blank lines."""
    block, start = [], first_number
    for number, line in enumerate(lines, first_number):
        if line.strip():
            if not block:
                start = number
            block.append(line)
        elif block:
            yield block, start
            block = []
    if block:
        yield block, start


def list_items(block, start, marker):
    items = []
    for offset, line in enumerate(block):
        match = marker.match(line)
        if match:
            items.append((match, [line[match.end():]]))
        elif items and line.startswith(" " * len(items[-1][0].group(0))):
            items[-1][1].append(line.strip())
        else:
            raise Unsupported("line %d: not a list item nor its continuation: %r" % (start + offset, line))
    return items


def convert(lines, first_number):
    out = []
    skip_caption = False
    for block, start in blocks(lines, first_number):
        head = block[0]
        if all(IMAGE.match(line.strip()) for line in block):
            skip_caption = True
            continue
        if skip_caption and head.startswith("*") and block[-1].rstrip().endswith("*"):
            skip_caption = False
            continue
        skip_caption = False
        if head.startswith("## ") and len(block) == 1:
            title = plain(head[3:].strip(), start)
            out += ["", title, "-" * len(title)]
        elif head.startswith("#") or head.startswith("```") or head.startswith("<") or head.startswith(">"):
            raise Unsupported("line %d: not part of the README's plain-text subset: %r" % (start, head))
        elif head.startswith("|"):
            rows = [cells(line) for line in block]
            if len(rows) < 2 or not all(set(cell) <= set("-: ") for cell in rows[1]):
                raise Unsupported("line %d: a table needs a header row and a rule row" % start)
            for row in rows[2:]:
                out.append("")
                out += wrap(plain(row[0], start))
                for cell in row[1:]:
                    out += wrap(plain(cell, start), "    ", "    ")
        elif BULLET.match(head):
            for _, item in list_items(block, start, BULLET):
                out += wrap(plain(" ".join(item), start), "- ", "  ")
        elif NUMBERED.match(head):
            for match, item in list_items(block, start, NUMBERED):
                number = match.group(1) + ". "
                out += wrap(plain(" ".join(item), start), number, " " * len(number))
        else:
            if any(line.startswith((" ", "\t")) for line in block):
                raise Unsupported("line %d: an indented paragraph (a nested list or code?)" % start)
            out += wrap(plain(" ".join(line.strip() for line in block), start))
        out.append("")
    text = "\n".join(out).strip("\n") + "\n"
    return re.sub(r"\n{3,}", "\n\n", text)


def main(readme_path, template_path, version, output_path):
    with open(readme_path, encoding="utf-8") as f:
        lines, first_number = user_guide(f.read())
    with open(template_path, encoding="utf-8") as f:
        template = f.read()
    if template.count("@USER_GUIDE@") != 1:
        raise Unsupported("%s needs @USER_GUIDE@ once" % template_path)
    text = template.replace("@PROJECT_VERSION@", version).replace("@USER_GUIDE@", convert(lines, first_number))
    with open(output_path, "w", encoding="utf-8-sig", newline="\r\n") as f:
        f.write(text)


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    try:
        main(*sys.argv[1:])
    except Unsupported as problem:
        sys.exit("readme_text.py: %s" % problem)
