#!/usr/bin/env python3
"""Runs tersify-cli's filter form over every page of a folder, with the default
options and with cbDelCRLF=1, and checks that each run ends well and that
every <script> block of the page comes out byte for byte (its line breaks
as the program saves them: CR LF, or LF in a page that holds no CR).

Usage: tools/check_scripts.py build/tersify-cli /tmp/corpus
"""
import os, re, subprocess, sys
cli = sys.argv[1]; corpus = sys.argv[2]
pat = re.compile(rb'(?is)<script\b.*?</script\s*>')
pages = blocks = kept = failed = 0
for root, _, files in os.walk(corpus):
    for f in files:
        path = os.path.join(root, f)
        src = open(path, 'rb').read()
        src = src.split(b'\0')[0]
        norm = re.sub(rb'\r\n|\r|\n', b'\r\n', src) if b'\r' in src else src
        found = pat.findall(norm)
        for extra in ([], ['--set', 'cbDelCRLF=1']):
            r = subprocess.run([cli] + extra + [path], capture_output=True, timeout=60)
            pages += 1
            if r.returncode != 0:
                failed += 1
                continue
            for b in found:
                blocks += 1
                kept += b in r.stdout
print(f"runs {pages}, failed {failed}, script blocks {blocks}, found intact in the output {kept}")
sys.exit(0 if failed == 0 and kept == blocks else 1)
