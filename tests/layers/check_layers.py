#!/usr/bin/env python3
"""Refuses an include of a header from a layer above the including file's own.

The layer table is the one in ARCHITECTURE.md (rows "| stack | rank | folder |").
A file may include:
  - headers of its own folder;
  - headers of a folder of the shared stack ("both");
  - headers of a folder of its own stack with a lower rank.
Anything else from the project's program folders is refused, so a lower layer
can never reach up and the two programs never include each other. The same
rule holds for the libraries a folder's CMakeLists.txt links. A source file of
player/ or browser/ that no folder of the table holds is refused too: it would
have no rank to check (player/analysis holds folders only, each a layer).

Usage: check_layers.py ROOT
"""
import os
import re
import sys

ROW = re.compile(r"^\|\s*(both|player|browser)\s*\|\s*(\d+)\s*\|\s*`?([\w/.-]+)`?\s*\|")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
ADD_LIB = re.compile(r"\badd_(?:library|executable)\(\s*([\w-]+)")
LINK = re.compile(r"\btarget_link_libraries\(\s*([\w-]+)([^)]*)\)", re.S)


def read_table(root):
    layers = {}
    with open(os.path.join(root, "ARCHITECTURE.md"), encoding="utf-8") as f:
        for line in f:
            m = ROW.match(line)
            if m:
                layers[m.group(3).rstrip("/")] = (m.group(1), int(m.group(2)))
    if not layers:
        sys.exit("check_layers: no layer table in ARCHITECTURE.md")
    return layers


def folder_of(path, layers):
    """The table's folder that holds path (the longest matching prefix), or None."""
    best = None
    for folder in layers:
        if path == folder or path.startswith(folder + "/"):
            if best is None or len(folder) > len(best):
                best = folder
    return best


def allowed(own, target, layers):
    if target == own:
        return True
    t_stack, t_rank = layers[target]
    o_stack, o_rank = layers[own]
    return t_stack == "both" or (t_stack == o_stack and t_rank < o_rank)


def source_files(root, layers):
    for folder in layers:
        top = os.path.join(root, folder)
        for dirpath, _, names in os.walk(top):
            for name in names:
                path = os.path.relpath(os.path.join(dirpath, name), root)
                if folder_of(path, layers) == folder:
                    yield folder, path, name


def check_includes(root, layers):
    faults = []
    for folder, path, name in source_files(root, layers):
        if not name.endswith((".h", ".hpp", ".cpp", ".cc")):
            continue
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                target = folder_of(m.group(1), layers)
                if target is None:
                    first = m.group(1).split("/")[0]
                    if first in ("player", "browser", "common", "python", "tools", "tests", "bench"):
                        faults.append(f"{path}:{number}: includes {m.group(1)}, which no layer holds")
                    continue
                if not allowed(folder, target, layers):
                    faults.append(f"{path}:{number}: {folder} includes {m.group(1)} of {target}, a layer it may not use")
    return faults


def check_homeless(root, layers):
    faults = []
    for top in ("player", "browser"):
        for dirpath, _, names in os.walk(os.path.join(root, top)):
            for name in names:
                path = os.path.relpath(os.path.join(dirpath, name), root)
                if name.endswith((".h", ".hpp", ".cpp", ".cc")) and folder_of(path, layers) is None:
                    faults.append(f"{path}: no folder of the layer table holds it")
    return faults


def check_links(root, layers):
    owner = {}  # library or program name -> folder
    texts = {}
    for folder in layers:
        cmake = os.path.join(root, folder, "CMakeLists.txt")
        if os.path.exists(cmake):
            with open(cmake, encoding="utf-8") as f:
                texts[folder] = re.sub(r"#[^\n]*", "", f.read())
            for name in ADD_LIB.findall(texts[folder]):
                owner[name] = folder
    faults = []
    for folder, text in texts.items():
        for _, deps in LINK.findall(text):
            for dep in deps.split():
                target = owner.get(dep)
                if target and not allowed(folder, target, layers):
                    faults.append(f"{folder}/CMakeLists.txt: links {dep} of {target}, a layer it may not use")
    return faults


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    layers = read_table(root)
    missing = [f for f in layers if not os.path.isdir(os.path.join(root, f))]
    faults = [f"layer table names {f}, which does not exist" for f in missing]
    faults += check_includes(root, layers) + check_links(root, layers) + check_homeless(root, layers)
    for fault in faults:
        print(fault)
    print(f"check_layers: {len(layers)} folders, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
