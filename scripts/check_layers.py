#!/usr/bin/env python3
"""Fails when a source file of src/ or tools/ includes what layers.txt does
not allow, naming the file and line of each offending include.

    scripts/check_layers.py [ROOT]    (default: the repository this is in)

The rules and their format are described at the top of layers.txt.
"""

import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCE_SUFFIXES = ('.h', '.cc')
THIRD_PARTY = ('nlohmann', 'openssl', 'stb')
SCANNED = ('src', 'tools')


class TableError(Exception):
    pass


def read_table(path):
    """Returns ({prefix: {name: reason}}, [the layers of src/, lowest first])
    from layers.txt."""
    blocks = {}
    order = []
    rules = None
    last = None
    with open(path, encoding='utf-8') as table:
        for number, line in enumerate(table, 1):
            text = line.rstrip('\n')
            stripped = text.strip()
            if not stripped or text.startswith('#'):
                continue
            where = f'{path}:{number}'
            if stripped.startswith('order:'):
                if order:
                    raise TableError(f'{where}: a second order line')
                order = [name.strip() for name in stripped[len('order:'):].split('<')]
                if not all(order) or len(set(order)) != len(order):
                    raise TableError(f'{where}: the order names each folder once, '
                                     f'separated by <')
            elif stripped.startswith('[') and stripped.endswith(']'):
                prefix = stripped[1:-1].strip().rstrip('/')
                if prefix in blocks:
                    raise TableError(f'{where}: block [{prefix}] appears twice')
                rules = blocks[prefix] = {}
                last = None
            elif stripped.startswith('+'):
                if rules is None:
                    raise TableError(f'{where}: a rule before the first [block]')
                name, _, reason = stripped[1:].partition(' ')
                if not reason.strip():
                    raise TableError(f'{where}: the rule +{name} gives no reason')
                rules[name] = reason.strip()
                last = name
            elif text[0].isspace() and last is not None:
                rules[last] += ' ' + stripped  # a reason continued
            else:
                raise TableError(f'{where}: neither order, [block], +rule nor a continued '
                                 f'reason')
    if not order:
        raise TableError(f'{path}: no order line')
    return blocks, order


def top_folder(relative):
    """'src/network/x.cc' -> 'src/network'."""
    return '/'.join(relative.split('/')[:2])


def folder_names(root):
    """The names `#include "NAME/..."` may start with: folders of src/, tools/."""
    names = set()
    for scanned in SCANNED:
        base = os.path.join(root, scanned)
        if os.path.isdir(base):
            names.update(entry for entry in os.listdir(base)
                         if os.path.isdir(os.path.join(base, entry)))
    return names


def check_names(blocks, known):
    classes = {'<system>'} | {f'<{name}>' for name in THIRD_PARTY}
    for prefix, rules in blocks.items():
        for name in rules:
            if name not in known and name not in classes:
                raise TableError(f'layers.txt: [{prefix}] allows +{name}, which is neither a '
                                 f'folder of src/ or tools/ nor one of {sorted(classes)}')


def check_order(blocks, order):
    """Every block of a folder of src/ belongs to a layer of the order, and
    its rules name only layers below it: a rule that points up is refused
    before any file is read."""
    for prefix, rules in blocks.items():
        parts = prefix.split('/')
        if parts[0] != 'src' or len(parts) < 2:
            continue
        layer = parts[1]
        if layer not in order:
            raise TableError(f'layers.txt: [{prefix}] names a folder the order does not have')
        for name in rules:
            if name.startswith('<'):
                continue
            if name not in order or order.index(name) >= order.index(layer):
                raise TableError(f'layers.txt: [{prefix}] allows +{name}, which is not below '
                                 f'{layer} in the order')


def matches(prefix, relative):
    return relative == prefix or relative.startswith((prefix + '/', prefix + '.'))


def allowed_for(blocks, relative):
    allowed = set()
    for prefix, rules in blocks.items():
        if matches(prefix, relative):
            allowed.update(rules)
    return allowed


def include_target(bracket, name):
    """What an include needs a rule for, or None when it is always allowed."""
    if bracket == '"':
        return name.split('/')[0] if '/' in name else None
    first = name.split('/')[0]
    if first in THIRD_PARTY:
        return f'<{first}>'
    if '.' not in name and '/' not in name:
        return None  # the C++ standard library
    return '<system>'


def source_files(root):
    for scanned in SCANNED:
        for directory, _, files in os.walk(os.path.join(root, scanned)):
            for file_name in sorted(files):
                if file_name.endswith(SOURCE_SUFFIXES):
                    path = os.path.join(directory, file_name)
                    yield os.path.relpath(path, root).replace(os.sep, '/'), path


def violations(root, blocks):
    for relative, path in sorted(source_files(root)):
        folder = top_folder(relative)
        if folder not in blocks:
            yield f'{relative}: layers.txt has no block [{folder}] for this folder'
            continue
        own = folder.split('/')[1]
        allowed = allowed_for(blocks, relative)
        with open(path, encoding='utf-8', errors='replace') as source:
            for number, line in enumerate(source, 1):
                found = INCLUDE.match(line)
                if not found:
                    continue
                bracket, name = found.groups()
                target = include_target(bracket, name)
                if target is None or target == own or target in allowed:
                    continue
                shown = f'"{name}"' if bracket == '"' else f'<{name}>'
                yield (f'{relative}:{number}: includes {shown}, but {folder} may not '
                       f'include {target} (layers.txt)')


def main(argv):
    root = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(__file__), '..')
    root = os.path.realpath(root)
    try:
        blocks, order = read_table(os.path.join(root, 'layers.txt'))
        check_names(blocks, folder_names(root))
        check_order(blocks, order)
    except (TableError, OSError) as error:
        print(f'check_layers: {error}', file=sys.stderr)
        return 1
    found = list(violations(root, blocks))
    for line in found:
        print(line, file=sys.stderr)
    if found:
        print(f'check_layers: {len(found)} include(s) against the layers', file=sys.stderr)
        return 1
    print('check_layers: every include of src/ and tools/ follows layers.txt')
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
