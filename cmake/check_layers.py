#!/usr/bin/env python3
"""Checks every include under src/ against the layer table (cmake/layers.txt).

Usage: check_layers.py SOURCE_DIR [STAMP]. Prints one line per include that
crosses the layers (file:line, the include, what the folder may use) and exits
1; otherwise touches STAMP and exits 0. The build runs it before compiling."""
import pathlib
import re
import sys


def read_table(path):
    layers, system, restricted = {}, {}, []
    for raw in path.read_text().splitlines():
        line = raw.split("#", 1)[0].strip()
        if not line:
            continue
        if ":" in line:
            name, rest = line.split(":", 1)
            if name == "restricted":
                restricted = rest.split()
            else:
                layers[name] = [name] + rest.split()
        else:
            name, *headers = line.split()
            system[name] = headers
    return layers, system, restricted


def layer_of(path, layers):
    best = ""
    for folder in layers:
        if path.startswith(folder + "/") and len(folder) > len(best):
            best = folder
    return best


def main():
    root = pathlib.Path(sys.argv[1])
    layers, system, restricted = read_table(root / "cmake" / "layers.txt")
    src = root / "src"
    include = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
    problems = []
    for file in sorted(src.rglob("*")):
        if file.suffix not in (".h", ".cpp") or not file.is_file():
            continue
        rel = file.relative_to(src).as_posix()
        layer = layer_of(rel, layers)
        if not layer:
            if rel != "main.cpp":
                problems.append(f"src/{rel}: lies in no layer (a new folder needs a line in cmake/layers.txt)")
            continue
        for number, text in enumerate(file.read_text(errors="replace").splitlines(), 1):
            match = include.match(text)
            if not match:
                continue
            kind, target = match.groups()
            if kind == '"':
                used = layer_of(target, layers)
                if not used:
                    problems.append(f'src/{rel}:{number}: includes "{target}", which lies in no layer folder')
                elif used not in layers[layer]:
                    problems.append(f'src/{rel}:{number}: {layer}/ may not include "{target}" '
                                    f'({layer}/ may use: {" ".join(layers[layer])})')
            else:
                for prefix in restricted:
                    if target.startswith(prefix) and prefix not in system.get(layer, []):
                        problems.append(f"src/{rel}:{number}: {layer}/ may not include <{target}> "
                                        f"(kept for the folders that bind that library)")
    if problems:
        print(f"layer check: {len(problems)} include(s) cross the layers (cmake/layers.txt):",
              file=sys.stderr)
        for problem in problems:
            print("  " + problem, file=sys.stderr)
        return 1
    if len(sys.argv) > 2:
        pathlib.Path(sys.argv[2]).touch()
    return 0


if __name__ == "__main__":
    sys.exit(main())
