#!/usr/bin/env python3
"""Builds the load test's folder tree from a folder of real pages.

  make_tree.py CORPUS TREE [SMALL] [BIG] [BIG_MB]

SMALL pages (the corpus pages under 16 KB, taken in turn) go into 100 pages
per sub-folder of TREE/small; BIG pages of BIG_MB megabytes each, made of
corpus pages one after another (each big page starting at another page), go
into TREE/big. Every name is unique over the whole tree, because the output
folder is flat. Prints the number of pages and the largest page's size.
"""
import os
import sys


def pages_of(corpus):
    found = []
    for root, _, names in os.walk(corpus):
        for name in names:
            if name.lower().endswith((".html", ".htm")):
                found.append(os.path.join(root, name))
    found.sort()
    return found


def main():
    corpus, tree = sys.argv[1], sys.argv[2]
    small = int(sys.argv[3]) if len(sys.argv) > 3 else 20000
    big = int(sys.argv[4]) if len(sys.argv) > 4 else 20
    big_bytes = (int(sys.argv[5]) if len(sys.argv) > 5 else 50) * 1024 * 1024
    paths = pages_of(corpus)
    if not paths:
        sys.exit("no pages in " + corpus)
    texts = []
    for p in paths:
        with open(p, "rb") as f:
            texts.append(f.read())
    small_texts = [t for t in texts if len(t) < 16 * 1024] or texts
    largest = 0
    for i in range(small):
        folder = os.path.join(tree, "small", "d%03d" % (i // 100))
        if i % 100 == 0:
            os.makedirs(folder, exist_ok=True)
        data = small_texts[i % len(small_texts)]
        with open(os.path.join(folder, "s%05d.html" % i), "wb") as f:
            f.write(data)
        largest = max(largest, len(data))
    os.makedirs(os.path.join(tree, "big"), exist_ok=True)
    for b in range(big):
        parts, size, k = [], 0, b * 37
        while size < big_bytes:
            t = texts[k % len(texts)]
            parts.append(t)
            size += len(t)
            k += 1
        data = b"".join(parts)[:big_bytes]
        with open(os.path.join(tree, "big", "big%02d.html" % b), "wb") as f:
            f.write(data)
        largest = max(largest, len(data))
    print(small + big, largest)


if __name__ == "__main__":
    main()
