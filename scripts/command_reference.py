#!/usr/bin/env python3
"""Writes docs/commands.md, the list of every public command, from the
public headers (include/quarvel/*.h): grouped by header and by the header's
own section rules, each command with its signature and the first sentence
of the comment above it.

  scripts/command_reference.py           rewrite docs/commands.md
  scripts/command_reference.py --check   exit 1 when docs/commands.md is stale
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
HEADERS = ROOT / "include" / "quarvel"
OUTPUT = ROOT / "docs" / "commands.md"

# The order a game developer meets them in; headers not named here follow
# in alphabetical order.
ORDER = ["runtime.h", "graphics.h", "input.h", "sound.h", "file_channels.h", "ini_files.h",
         "line_files.h", "host_services.h", "network.h", "pathfind.h", "graphics3d.h", "models.h",
         "shaders.h", "maths.h", "number_text.h", "arrays.h", "dyn_string.h"]

SECTION = re.compile(r"^//\s*-+\s*(.*?)\s*-+\s*$")
# Not commands: type and member declarations, operators, templates.
SKIP = re.compile(r"^(struct|class|enum|union|template|using|typedef|namespace|#|friend|public:|private:|protected:)")


def first_sentence(comment_lines):
    text = " ".join(line.strip() for line in comment_lines).strip()
    if not text:
        return ""
    # Up to the first full stop followed by a space or the end (not inside
    # a number such as 0.5 or an ellipsis).
    match = re.search(r"(?<!\.)\.(?=\s|$)", text)
    sentence = text[: match.end()] if match else text
    return sentence.strip()


def header_title(lines):
    comment = []
    for line in lines:
        stripped = line.strip()
        if stripped.startswith("//"):
            body = stripped[2:].strip()
            if not body and comment:
                break
            comment.append(body)
        elif comment:
            break
    return first_sentence(comment)


def commands_of(path):
    """[(section, signature, description)] in file order."""
    lines = path.read_text(encoding="utf-8").splitlines()
    out = []
    section = ""
    comment = []
    depth = 0  # braces beyond the namespace's own
    pending = None  # a declaration spread over several lines
    in_namespace = False
    adjacent = False  # the line before ended a declaration

    def declare(text):
        description = first_sentence(comment)
        # A comment covers the run of declarations right below it (a
        # family such as read_byte, read_word, ...): each declaration
        # without a comment of its own right after another shares that
        # one's.
        if not description and not comment and adjacent and out:
            description = out[-1][2]
        out.append((section, text, description))

    for raw in lines:
        line = raw.strip()
        if pending is not None:
            pending += " " + line
            if ";" in line or "{" in line:
                declare(pending)
                comment = []
                depth += line.count("{") - line.count("}")
                pending = None
                adjacent = True
            continue
        was_adjacent, adjacent = adjacent, False
        if line.startswith("namespace quarvel"):
            in_namespace = True
            continue
        if not in_namespace:
            continue
        if depth > 0:
            # The body of an inline command: the declaration's run goes on.
            depth += line.count("{") - line.count("}")
            adjacent = was_adjacent
            continue
        match = SECTION.match(line)
        if match:
            section = match.group(1)
            comment = []
            continue
        if line.startswith("//"):
            comment.append(line[2:])
            continue
        if not line or line.startswith("}"):
            comment = []
            continue
        if SKIP.match(line) or line.startswith("constexpr") or "operator" in line.split("(")[0]:
            depth += line.count("{") - line.count("}")
            comment = []
            continue
        if "(" in line and re.match(r"^[\w:<>,&*\s\[\]]+\b\w+\s*\(", line):
            adjacent = was_adjacent
            if ";" in line or "{" in line:
                declare(line)
                depth += line.count("{") - line.count("}")
                comment = []
                adjacent = True
            else:
                pending = line
            continue
        depth += line.count("{") - line.count("}")
        comment = []
    return out


def command_name(signature):
    match = re.search(r"(\w+)\s*\(", signature)
    return match.group(1) if match else ""


def clean_signature(text):
    text = re.sub(r"\s+", " ", text)
    text = text.split("{")[0].split(";")[0]
    text = text.rstrip(" ;")
    text = re.sub(r"^(inline|extern)\s+", "", text)
    text = text.replace("( ", "(").replace(" )", ")")
    return text


def render():
    names = sorted(p.name for p in HEADERS.glob("*.h"))
    ordered = [n for n in ORDER if n in names] + [n for n in names if n not in ORDER]
    parts = [
        "# Command reference",
        "",
        "Every public command of the runtime, grouped as in the headers under",
        "`include/quarvel/` (a game includes `<quarvel/quarvel.h>`, which includes",
        "them all), with its signature and the first sentence of its description",
        "in the header. Numbers are `double`s, texts `DynString`s; colours are",
        "packed 0x00BBGGRR values.",
        "",
        "This page is made by `scripts/command_reference.py` from the headers;",
        "a test fails when it is out of date.",
        "",
    ]
    index = []
    body = []
    total = 0
    for name in ordered:
        path = HEADERS / name
        commands = commands_of(path)
        if not commands:
            continue
        title = header_title(path.read_text(encoding="utf-8").splitlines())
        anchor = name.replace(".", "")
        index.append(f"- [{name}](#{anchor}): {title}")
        body.append(f"## {name}")
        body.append("")
        if title:
            body.append(title)
            body.append("")
        current = None
        for section, signature, description in commands:
            if section != current and section:
                if body[-1] != "":
                    body.append("")
                body.append(f"### {section[0].upper() + section[1:]}")
                body.append("")
                current = section
            line = f"- `{clean_signature(signature)}`"
            if description:
                line += f"  \n  {description}"
            body.append(line)
            total += 1
        body.append("")
    parts.append(f"{total} commands in {len(index)} headers:")
    parts.append("")
    parts.extend(index)
    parts.append("")
    parts.extend(body)
    return "\n".join(parts).rstrip("\n") + "\n"


def main(argv):
    text = render()
    if "--check" in argv:
        current = OUTPUT.read_text(encoding="utf-8") if OUTPUT.exists() else ""
        if current != text:
            print("docs/commands.md is out of date: run scripts/command_reference.py", file=sys.stderr)
            return 1
        print("docs/commands.md matches the headers")
        return 0
    OUTPUT.write_text(text, encoding="utf-8")
    print(f"wrote {OUTPUT.relative_to(ROOT)}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
