#!/usr/bin/env python3
"""Compares what a browser shows of every page of a folder before and after
tersify-cli.

Each .htm/.html page (sub-folders included) goes through the filter form
(`CLI [--mode M] [--set K=V ...] PAGE`). Both versions are decoded the same way
(UTF-8 when the page is valid UTF-8, else code page 1252), read with Python's
html.parser with entities decoded, scripts, styles and comments left out, and
compared on:
- the sequence of visible words, split on white space (the no-break space
  included) and at the edges of block elements, table cells and <br>, where a
  browser breaks the text whatever the white space;
- the exact text of every pre, textarea, xmp and listing element (a line break
  is read as LF, whether it was CR LF, CR or LF, as a browser reads it).

Words glued only because white space between two tags went ("</a> <a>" made
"</a><a>") are the intended joining: they are counted apart and do not fail.
Exit status 0 when no page has a changed word or changed preformatted text,
1 otherwise.

Usage: tools/check_rendering.py CLI FOLDER [--mode M] [--set K=V ...] [--jobs N]
       tools/check_rendering.py --self-test
"""
import argparse, difflib, html, itertools, multiprocessing, os, re, subprocess, sys
from html.parser import HTMLParser

PRE_TAGS = {'pre', 'textarea', 'xmp', 'listing'}
RAW_TAGS = {'xmp', 'textarea'}  # their content is text, not markup
HIDDEN_TAGS = {'script', 'style'}
BREAK_TAGS = set('''address article aside blockquote body br caption center dd details dialog dir div dl dt
    fieldset figcaption figure footer form h1 h2 h3 h4 h5 h6 head header hr html legend li listing main menu nav
    ol option p plaintext pre section select summary table tbody td textarea tfoot th thead title tr ul xmp'''.split())

# Kinds of change, in the order they are reported; JOINED is the intended one.
REPLACED, GLUED, SPLIT, DELETED, ADDED, PRE, FAILED, UNREAD = (
    'word replaced', 'words glued', 'word split', 'words deleted', 'words added', 'preformatted text changed',
    'tersify-cli failed', 'page not parsed')
JOINED = 'words glued where white space between two tags went (intended)'
KINDS = (REPLACED, GLUED, SPLIT, DELETED, ADDED, PRE, FAILED, UNREAD)
TOKEN = re.compile(r'\s+|\S+')  # \s and str.split() both take U+00A0 as white space


class Rendering(HTMLParser):
    """The visible words of a page, whether each stood apart from the one before
    by nothing but white space between two tags, and the texts of its
    preformatted elements."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.words, self.soft = [], []  # soft[i]: words[i] follows inter-tag white space only
        self.word, self.word_soft = '', False
        self.gap = 'hard'  # what lies between self.word and the next text: None, 'soft' or 'hard'
        self.after_tag = False
        self.hidden = None
        self.raw = None
        self.pre = []  # [tag, text] in document order
        self.open_pre = []

    def flush(self):
        if self.word:
            self.words.append(self.word)
            self.soft.append(self.word_soft)
        self.word = ''

    def markup(self, tag=None):
        if tag in BREAK_TAGS:
            self.gap = 'hard'
        self.after_tag = True

    def handle_starttag(self, tag, attrs):
        self.markup(tag)
        if tag in HIDDEN_TAGS:
            self.hidden = tag
        if tag in PRE_TAGS:
            self.pre.append([tag, ''])
            self.open_pre.append(len(self.pre) - 1)
        if tag in RAW_TAGS:
            self.raw = tag
            self.set_cdata_mode(tag)

    def handle_startendtag(self, tag, attrs):
        self.markup(tag)

    def handle_endtag(self, tag):
        self.markup(tag)
        if tag == self.hidden:
            self.hidden = None
        if tag == self.raw:
            self.raw = None
        for i in range(len(self.open_pre) - 1, -1, -1):
            if self.pre[self.open_pre[i]][0] == tag:
                del self.open_pre[i:]
                break

    def handle_comment(self, data):
        self.markup()

    def handle_decl(self, decl):
        self.markup()

    def handle_pi(self, data):
        self.markup()

    def handle_data(self, text):
        if self.hidden:
            return
        if self.raw == 'textarea':
            text = html.unescape(text)
        for i in self.open_pre:
            self.pre[i][1] += text
        if not text.strip():
            if text and self.gap != 'hard':
                self.gap = 'soft' if self.after_tag else 'hard'
            self.after_tag = False
            return
        for m in TOKEN.finditer(text):
            piece = m.group()
            if piece.isspace():
                self.gap = 'hard'
            elif self.word and self.gap is None:
                self.word += piece
            else:
                self.flush()
                self.word, self.word_soft, self.gap = piece, self.gap == 'soft', None
        self.after_tag = False


def render(text):
    page = Rendering()
    page.feed(re.sub(r'\r\n?', '\n', text))
    page.close()
    page.flush()
    return page


def decode(before, after):
    try:
        return before.decode('utf-8-sig'), after.decode('utf-8-sig', errors='replace')
    except UnicodeDecodeError:
        return before.decode('cp1252', errors='replace'), after.decode('cp1252', errors='replace')


def shown(words, i, j, context=4):
    """Words i to j with a few of context, the changed ones in brackets."""
    cut = lambda ws: ' '.join(ws)[:80]
    return f"{cut(words[max(0, i - context):i])} [{cut(words[i:j])}] {cut(words[j:j + context])}".strip()


def ends(words):
    out, at = set(), 0
    for w in words[:-1]:
        at += len(w)
        out.add(at)
    return out


def compare(before, after):
    """The changes between two decoded pages: a list of (kind, example)."""
    old, new = render(before), render(after)
    changes = []
    a, b = old.words, new.words
    if a != b and ''.join(a) == ''.join(b):
        # Same letters throughout: only word edges moved. Each edge that went
        # is a join (white space between tags only) or a glue; a new edge is a
        # split. Told edge by edge, since a word diff may pair them up oddly.
        starts, at = {}, 0
        for k, w in enumerate(a):
            starts[at] = k
            at += len(w)
        gone, came = ends(a) - ends(b), ends(b) - ends(a)
        for edge in sorted(gone):
            k = starts[edge]
            kind = JOINED if old.soft[k] else GLUED
            changes.append((kind, f'was: {shown(a, k - 1, k + 1)}'))
        if came:
            changes.append((SPLIT, f'now: a word edge at letter {min(came)} that was not there'))
    elif a != b:
        lo = 0
        while lo < min(len(a), len(b)) and a[lo] == b[lo]:
            lo += 1
        hi = 0
        while hi < min(len(a), len(b)) - lo and a[-1 - hi] == b[-1 - hi]:
            hi += 1
        matcher = difflib.SequenceMatcher(None, a[lo:len(a) - hi], b[lo:len(b) - hi])
        for op, i1, i2, j1, j2 in matcher.get_opcodes():
            i1, i2, j1, j2 = i1 + lo, i2 + lo, j1 + lo, j2 + lo
            if op == 'equal':
                continue
            if op == 'delete':
                kind = DELETED
            elif op == 'insert':
                kind = ADDED
            elif ''.join(a[i1:i2]) != ''.join(b[j1:j2]):
                kind = REPLACED
            else:
                # Same letters, other word edges: which edges of the old words went?
                gone, came = ends(a[i1:i2]) - ends(b[j1:j2]), ends(b[j1:j2]) - ends(a[i1:i2])
                if came:
                    kind = SPLIT if not gone else REPLACED
                else:
                    at, soft = 0, True
                    for k in range(i1, i2 - 1):
                        at += len(a[k])
                        soft = soft and (at not in gone or old.soft[k + 1])
                    kind = JOINED if soft else GLUED
            changes.append((kind, f'was: {shown(a, i1, i2)}\n      now: {shown(b, j1, j2)}'))
    if old.pre != new.pre:
        for k, (x, y) in enumerate(itertools.zip_longest(old.pre, new.pre, fillvalue=['', ''])):
            if x != y:
                at = next((i for i, (p, q) in enumerate(zip(x[1], y[1])) if p != q), min(len(x[1]), len(y[1])))
                changes.append((PRE, f'{x[0] or "none"} element {k + 1} became {y[0] or "none"}, from character '
                                     f'{at}: was {x[1][max(0, at - 30):at + 30]!r}\n      now: '
                                     f'{y[1][max(0, at - 30):at + 30]!r}'))
                break
    return changes


def check_page(job):
    cli, flags, path = job
    before = open(path, 'rb').read()
    try:
        run = subprocess.run([cli] + flags + [path], capture_output=True, timeout=300)
    except subprocess.TimeoutExpired:
        return path, [(FAILED, 'timed out')]
    if run.returncode != 0:
        return path, [(FAILED, f'exit status {run.returncode}: {run.stderr.decode(errors="replace")[:200]}')]
    try:
        return path, compare(*decode(before, run.stdout))
    except Exception as e:  # html.parser gives up on some malformed markup; the page then fails
        return path, [(UNREAD, f'{type(e).__name__}: {e}')]


def pages_of(folder):
    for root, dirs, files in os.walk(folder):
        dirs.sort()
        for f in sorted(files):
            if f.lower().endswith(('.htm', '.html')):
                yield os.path.join(root, f)


def report(results, folder):
    """Prints the pages by kind of change; returns the number of failing pages."""
    by_kind = {k: [] for k in KINDS + (JOINED,)}
    for path, changes in sorted(results):
        seen = {}
        for kind, example in changes:
            seen.setdefault(kind, [0, example])[0] += 1
        for kind, (count, example) in seen.items():
            by_kind[kind].append((os.path.relpath(path, folder), count, example))
    for kind in KINDS + (JOINED,):
        if by_kind[kind]:
            print(f'\n== {kind}: {len(by_kind[kind])} pages, {sum(c for _, c, _ in by_kind[kind])} places')
            for name, count, example in by_kind[kind]:
                print(f'  {name} ({count}):\n      {example}')
    failing = sum(1 for _, changes in results if any(k != JOINED for k, _ in changes))
    print(f'\npages {len(results)}, with a changed word or preformatted text {failing}; pages per kind: ' +
          ', '.join(f'{k} {len(by_kind[k])}' for k in KINDS) +
          f'; glued where white space between two tags went (not counted as failing): {len(by_kind[JOINED])} '
          f'pages, {sum(c for _, c, _ in by_kind[JOINED])} places')
    return failing


def self_test():
    cases = [  # before, after, kinds found
        ('<p>Go <a>one</a> <a>two</a></p><pre>a\r\n  b</pre>', '<p>Go <a>one</a><a>two</a></p><pre>a\n  b</pre>',
         [JOINED]),
        ('<td>x</td>\n<td>y</td><script>if (a < b) c();</script>', '<td>x</td><td>y</td>', []),
        ('<p>one &amp; two\tthree four</p>', '<p>one &amp; twothree four</p>', [GLUED]),
        ('<p>one <b>two</b> three</p>', '<p>one <b>two</b></p>', [DELETED]),
        ('<p>a < b</p><textarea>x  &lt;y&gt;</textarea>', '<p>a <b</p><textarea>x &lt;y&gt;</textarea>',
         [DELETED, PRE]),
        ('<xmp>one <b>two</b></xmp>', '<tt>one <b>two</b></tt>', [REPLACED, PRE]),
    ]
    bad = 0
    for before, after, kinds in cases:
        got = [k for k, _ in compare(before, after)]
        if got != kinds:
            bad += 1
            print(f'FAILED: {before!r} -> {after!r}: {got}, expected {kinds}')
    print(f'self-test: {len(cases) - bad} of {len(cases)} cases pass')
    return 1 if bad else 0


def main():
    if sys.argv[1:] == ['--self-test']:
        return self_test()
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('cli')
    parser.add_argument('folder')
    parser.add_argument('--mode', help='normal or max')
    parser.add_argument('--set', action='append', default=[], metavar='K=V', help='an option, as in Options.dat')
    parser.add_argument('--jobs', type=int, default=os.cpu_count(), help='pages checked at a time')
    args = parser.parse_args()
    flags = (['--mode', args.mode] if args.mode else []) + [x for kv in args.set for x in ('--set', kv)]
    jobs = [(args.cli, flags, p) for p in pages_of(args.folder)]
    with multiprocessing.Pool(args.jobs) as pool:
        results = list(pool.imap_unordered(check_page, jobs, chunksize=4))
    return 1 if report(results, args.folder) else 0


if __name__ == '__main__':
    sys.exit(main())
