#!/usr/bin/env python3
"""Fails when src/ holds process-wide mutable state: a thread_local, a static
variable that is not const, or a variable at namespace scope that is not const.
Two analyses must be able to run side by side in one process, so every piece of
run state lives in an object the run owns."""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent / "src"

# A declaration that starts at the left margin (namespaces do not indent) and
# ends in ";" without a parenthesis before any "=": a variable, not a function.
NAMESPACE_VARIABLE = re.compile(r"^(?!\s)(?!(?:const|constexpr|inline constexpr|using|typedef|"
                                r"struct|class|enum|union|template|return|namespace|extern|"
                                r"friend|static_assert|#|//|\}|case|default|public|private|"
                                r"protected)\b)[A-Za-z_][\w:<>,\s\*&]*\s[\*&]?\w+\s*(=[^;]*)?;\s*$")
STATIC_VARIABLE = re.compile(r"\bstatic\s+(?!const\b|constexpr\b|inline\s+constexpr\b|"
                             r"std::string\s+\w+\()[^;(]*?(\s\w+\s*(=|;|\{)|\s\w+$)")


def strip_comments(text):
    text = re.sub(r"/\*.*?\*/", lambda m: "\n" * m.group(0).count("\n"), text, flags=re.S)
    return re.sub(r"//.*", "", text)


def findings(path):
    lines = strip_comments(path.read_text()).split("\n")
    for number, line in enumerate(lines, 1):
        if "thread_local" in line:
            yield number, line
        elif re.search(r"\bstatic\b", line) and "static_cast" not in line \
                and "static_assert" not in line and STATIC_VARIABLE.search(line) \
                and "(" not in line.split("=")[0]:
            yield number, line
        elif NAMESPACE_VARIABLE.match(line) and "(" not in line.split("=")[0]:
            yield number, line


def main():
    bad = 0
    for path in sorted(ROOT.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        for number, line in findings(path):
            print(f"{path.relative_to(ROOT.parent)}:{number}: mutable state: {line.strip()}")
            bad += 1
    if bad:
        print(f"{bad} process-wide mutable variable(s) in src/")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
