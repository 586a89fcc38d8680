#!/usr/bin/env python3
"""check-layers.py SRC_DIR QT_WIDGETS_INCLUDE_DIRS

Fails when a library under SRC_DIR includes a header of a library its layer
may not use, includes Qt where it must not, includes Qt Widgets below the
window, or offers other libraries a header that includes a library it links
privately. QT_WIDGETS_INCLUDE_DIRS is Qt6::Widgets' include path (';'-separated);
a <QName> header found in its QtWidgets folder counts as a Widgets header.
"""
import os
import re
import sys

# Each library and the libraries it may include from (itself included).
# twain reads the TIFF a source delivers in memory through raster.
_BELOW_GRAPHICS = {"core", "raster", "pdf", "graphics"}
_BELOW_WORKFLOW = _BELOW_GRAPHICS | {"profiles", "twain", "workflow"}
ALLOWED = {
    "core": {"core"},
    "raster": {"core", "raster"},
    "pdf": {"core", "raster", "pdf"},
    "graphics": _BELOW_GRAPHICS,
    "profiles": {"core", "profiles"},
    "twain": {"core", "raster", "twain"},
    "dsm": {"core", "dsm"},
    "sources": {"core", "raster", "sources"},
    "workflow": _BELOW_WORKFLOW,
    "viewer": _BELOW_GRAPHICS | {"viewer"},
    "print": _BELOW_GRAPHICS | {"print"},
    "cli": _BELOW_WORKFLOW | {"cli"},
    "app": None,  # the application joins everything
}
# Libraries a library uses only inside itself: a header of it that another
# library includes may not include them.
PRIVATE = {"graphics": {"pdf"}}
NO_QT = {"core", "raster", "pdf", "twain", "profiles", "dsm", "sources"}
WIDGETS_ALLOWED = {"viewer", "print", "app"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".c", ".cc")


def widgets_headers(include_dirs):
    names = set()
    for directory in include_dirs:
        if os.path.basename(directory.rstrip("/")) == "QtWidgets" and os.path.isdir(directory):
            names.update(os.listdir(directory))
    return names


def includes(path):
    with open(path, encoding="utf-8", errors="replace") as source:
        for number, line in enumerate(source, 1):
            match = INCLUDE.match(line)
            if match:
                yield number, match


def check_file(lib, path, libraries, widgets, faults):
    allowed = ALLOWED[lib]
    for number, match in includes(path):
        header = match.group(2)
        where = f"{path}:{number}: {header}"
        first = header.split("/", 1)[0]
        if "/" in header and first in libraries and allowed is not None and first not in allowed:
            faults.append(f"{where}: {lib} may not use {first}")
        is_qt = match.group(1) == "<" and re.match(r"Q[A-Za-z]", header) is not None
        if is_qt and lib in NO_QT:
            faults.append(f"{where}: {lib} includes no Qt")
        if is_qt and lib not in WIDGETS_ALLOWED:
            name = header.split("/", 1)[1] if header.startswith("QtWidgets/") else header
            if header.startswith("QtWidgets") or name in widgets:
                faults.append(f"{where}: {lib} includes no Qt Widgets")


def check_private(src, offered, faults):
    """offered: the headers ("lib/Name.h") some other library includes."""
    for header in sorted(offered):
        lib = header.split("/", 1)[0]
        path = os.path.join(src, header)
        if lib not in PRIVATE or not os.path.isfile(path):
            continue
        for number, match in includes(path):
            used = match.group(2).split("/", 1)[0]
            if used in PRIVATE[lib]:
                faults.append(f"{path}:{number}: {match.group(2)}: {header} is included outside "
                              f"{lib}, which uses {used} only inside itself")


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    src = sys.argv[1]
    widgets = widgets_headers(sys.argv[2].split(";"))
    if not widgets:
        print("FAIL: no QtWidgets headers found in " + sys.argv[2], file=sys.stderr)
        return 1
    libraries = {name for name in os.listdir(src) if os.path.isdir(os.path.join(src, name))}
    unknown = libraries - set(ALLOWED)
    if unknown:
        print("FAIL: libraries without a layer: " + ", ".join(sorted(unknown)), file=sys.stderr)
        return 1
    faults = []
    offered = set()
    checked = 0
    for lib in sorted(libraries):
        for root, _dirs, files in os.walk(os.path.join(src, lib)):
            for name in sorted(files):
                if name.endswith(SOURCE_SUFFIXES):
                    path = os.path.join(root, name)
                    check_file(lib, path, libraries, widgets, faults)
                    offered.update(match.group(2) for _number, match in includes(path)
                                   if match.group(2).split("/", 1)[0] != lib)
                    checked += 1
    check_private(src, offered, faults)
    for fault in faults:
        print("FAIL: " + fault, file=sys.stderr)
    print(f"{checked} files in {len(libraries)} libraries, {len(faults)} layering faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
