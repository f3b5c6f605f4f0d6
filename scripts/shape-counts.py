#!/usr/bin/env python3
# Counts: files over 600 lines, functions over 80 lines (brace counting:
# a function is a brace block whose opening line has a ')' before the '{'
# and that opens at namespace scope or directly in a class).
import os, re, sys
root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
big_files, big_funcs = [], []
for d, _, fs in os.walk(os.path.join(root, 'src')):
    for f in fs:
        if not f.endswith(('.cpp', '.h')): continue
        p = os.path.join(d, f)
        lines = open(p, encoding='latin-1').read().split('\n')
        if len(lines) - 1 > 600: big_files.append((len(lines) - 1, p))
        stack = []  # kinds: 'ns', 'class', 'func', 'other'
        for i, line in enumerate(lines):
            s = re.sub(r'//.*', '', line)
            s = re.sub(r'"(\\.|[^"\\])*"', '""', s)
            s = re.sub(r"'(\\.|[^'\\])*'", "''", s)
            for j, ch in enumerate(s):
                if ch == '{':
                    head = s[:j]
                    ctx = [k for k, _ in stack if k != 'ns']
                    if re.search(r'\bnamespace\b', head) or head.strip().startswith('extern "C"'): kind = 'ns'
                    elif re.search(r'\b(class|struct|union|enum)\b', head) and ')' not in head: kind = 'class'
                    elif (not ctx or ctx == ['class']) and (')' in head or (head.strip() == '' and i > 0 and ')' in lines[i-1])) and not re.search(r'=\s*$|\breturn\b', head): kind = 'func'
                    else: kind = 'other'
                    stack.append((kind, i))
                elif ch == '}' and stack:
                    kind, start = stack.pop()
                    if kind == 'func' and i - start + 1 > 80: big_funcs.append((i - start + 1, p, start + 1))
print('files over 600 lines:', len(big_files))
for n, p in sorted(big_files, reverse=True): print('  ', n, os.path.relpath(p, root))
print('functions over 80 lines:', len(big_funcs))
for n, p, l in sorted(big_funcs, reverse=True): print('  ', n, os.path.relpath(p, root) + ':' + str(l))
