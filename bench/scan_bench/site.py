"""Pages of the scan benchmark: a linked site of small HTML pages for the link-scanning
crawler and for wget, and the check that the site is what the benchmark needs.

    site.py make ROOT PAGES     write exactly PAGES pages under ROOT (and a few images)
    site.py check ROOT PAGES    read ROOT back and check it; prints one summary line,
                                exit 1 with the faults when the site is not right

The site is a tree of four levels: /index.html, K hubs /hH/index.html, K sections in each
hub /hH/sS/index.html and the leaves /hH/sS/pN.html spread evenly over the sections, with
K the whole cube root of PAGES. So every page is three links or fewer from /index.html,
and a crawl to depth 4 (the start page being depth 1) fetches all of them.

Besides its children a page links back to its section, hub and home, to some siblings and
to other hubs, so the link graph has cycles. Every such extra link goes to a page whose
parent is the linking page itself or one of its ancestors. A crawler that marks a page as
seen the first time it meets its link therefore meets every page first on its parent, at
its tree depth, whatever order its parallel downloads finish in; a link from one leaf to a
leaf of another section would break this, because that leaf could be seen first on a page
of the last depth, whose links are not followed.

Links come in the styles real pages mix: double-quoted relative ("p12.html",
"../index.html"), root-relative ("/h3/s7/p12.html"), single-quoted, and upper-case HREF= without
quotes. Each page has one image and one mailto: link. Everything follows from PAGES and a
fixed seed, so two runs write the same bytes.
"""

import collections
import html.parser
import os
import random
import sys
import urllib.parse

SEED = 20240611
IMAGES = 32
# A 1x1 transparent GIF.
GIF = bytes.fromhex('47494638396101000100800000000000ffffff21f90401000000002c00000000010001000002024401003b')

WORDS = ('order stock price delivery sample catalogue quality steel valve pump motor bearing '
         'cable switch panel frame bracket fitting hose filter gasket spring washer bolt nut '
         'warehouse shipping export factory supplier wholesale retail discount service repair '
         'install manual warranty model series standard custom size weight colour finish '
         'material brass copper aluminium plastic rubber glass timber paint coating packing '
         'pallet carton crate week month season offer request quote invoice payment account').split()
TRADES = ['Valves', 'Pumps', 'Bearings', 'Cables', 'Fasteners', 'Filters', 'Motors', 'Hoses',
          'Springs', 'Panels', 'Fittings', 'Brackets', 'Gaskets', 'Switches', 'Frames', 'Coatings']


def fanout(pages):
    """K, the number of hubs and of sections in each hub: the whole cube root of PAGES."""
    k = 1
    while (k + 1) ** 3 <= pages:
        k += 1
    return k


def leaf_counts(pages):
    """Leaves of each section, in section order h * K + s; together with the index, hubs and
    sections exactly PAGES pages."""
    k = fanout(pages)
    leaves = pages - 1 - k - k * k
    base, extra = divmod(leaves, k * k)
    return [base + (1 if i < extra else 0) for i in range(k * k)]


def page_paths(pages):
    """Path of every page, parents before children."""
    k = fanout(pages)
    counts = leaf_counts(pages)
    paths = ['/index.html'] + [f'/h{h}/index.html' for h in range(k)]
    paths += [f'/h{h}/s{s}/index.html' for h in range(k) for s in range(k)]
    paths += [f'/h{h}/s{s}/p{n}.html' for h in range(k) for s in range(k) for n in range(counts[h * k + s])]
    return paths


def parent_of(path):
    """The tree parent of a page path; None for /index.html."""
    parts = path.strip('/').split('/')
    if len(parts) == 1:
        return None
    if parts[-1] == 'index.html':
        parts = parts[:-2]
    else:
        parts = parts[:-1]
    return '/' + '/'.join(parts + ['index.html'])


def text(rng, words):
    sentence = ' '.join(rng.choice(WORDS) for _ in range(words))
    return sentence[0].upper() + sentence[1:] + '.'


def paragraphs(rng, count):
    return '\n'.join('<p>' + ' '.join(text(rng, rng.randint(8, 16)) for _ in range(rng.randint(3, 5))) + '</p>'
                     for _ in range(count))


def anchor(rng, href, caption):
    """One link in one of the mixed styles."""
    style = rng.randrange(4)
    if style == 0:
        return f'<a href="{href}">{caption}</a>'
    if style == 1:
        return f"<a href='{href}' class='more'>{caption}</a>"
    if style == 2:
        return f'<A HREF={href}>{caption}</A>'
    return f'<a class="item" title="{caption}" href="{href}">{caption}</a>'


def relative(from_path, to_path, rng):
    """The link text from one page to another: root-relative or relative, as chance picks."""
    if rng.random() < 0.5:
        return to_path
    from_dir = from_path.rsplit('/', 1)[0] or '/'
    rel = os.path.relpath(to_path, from_dir)
    return rel


def page_html(path, pages, rng):
    k = fanout(pages)
    counts = leaf_counts(pages)
    parts = path.strip('/').split('/')
    crumbs, children, extra = [], [], []
    hubs = [f'/h{h}/index.html' for h in range(k)]

    def trade(h):
        return TRADES[h % len(TRADES)]

    if path == '/index.html':
        title = 'Industrial supplies - home'
        heading = 'Industrial supplies'
        children = [(p, f'{trade(h)} (department {h})') for h, p in enumerate(hubs)]
        mail_box = 'sales'
    else:
        h = int(parts[0][1:])
        crumbs.append(('/index.html', 'Home'))
        others = [x for x in range(k) if x != h]
        if len(parts) == 2:
            title = f'{trade(h)} - department {h}'
            heading = f'{trade(h)}'
            children = [(f'/h{h}/s{s}/index.html', f'{trade(h)} range {s}') for s in range(k)]
            extra = [(hubs[x], f'{trade(x)}') for x in rng.sample(others, min(3, len(others)))]
            mail_box = f'dept{h}'
        else:
            s = int(parts[1][1:])
            siblings = [x for x in range(k) if x != s]
            section = f'/h{h}/s{s}/index.html'
            crumbs.append((hubs[h], trade(h)))
            if parts[2] == 'index.html':
                title = f'{trade(h)} range {s}'
                heading = title
                children = [(f'/h{h}/s{s}/p{n}.html', f'{trade(h)} item {s}-{n}')
                            for n in range(counts[h * k + s])]
                extra = [(f'/h{h}/s{x}/index.html', f'{trade(h)} range {x}')
                         for x in rng.sample(siblings, min(3, len(siblings)))]
                extra += [(hubs[x], trade(x)) for x in rng.sample(others, min(2, len(others)))]
            else:
                n = int(parts[2][1:-5])
                title = f'{trade(h)} item {s}-{n}'
                heading = title
                crumbs.append((section, f'{trade(h)} range {s}'))
                leaves = [x for x in range(counts[h * k + s]) if x != n]
                extra = [(f'/h{h}/s{s}/p{x}.html', f'{trade(h)} item {s}-{x}')
                         for x in rng.sample(leaves, min(8, len(leaves)))]
                extra += [(f'/h{h}/s{x}/index.html', f'{trade(h)} range {x}')
                          for x in rng.sample(siblings, min(6, len(siblings)))]
                extra += [(hubs[x], trade(x)) for x in rng.sample(others, min(4, len(others)))]
            mail_box = f'desk{h}-{s}'

    def link(target, caption):
        return anchor(rng, relative(path, target, rng), caption)

    out = ['<!DOCTYPE html>', '<html lang="en">', '<head>', '<meta charset="utf-8">',
           f'<title>{title}</title>',
           f'<meta name="description" content="{text(rng, 12)}">', '</head>', '<body>',
           '<div class="nav">' + ' | '.join(link(p, c) for p, c in crumbs + [('/index.html', 'Start')]) + '</div>',
           f'<h1>{heading}</h1>', paragraphs(rng, rng.randint(2, 3))]
    if children:
        out.append('<ul class="list">')
        out += [f'<li>{link(p, c)}</li>' for p, c in children]
        out.append('</ul>')
    image = f'/img/g{rng.randrange(IMAGES)}.gif'
    out.append(f'<p><img src="{relative(path, image, rng)}" alt="{heading}" width="120" height="60"></p>')
    out.append(paragraphs(rng, 1))
    if extra:
        out.append('<div class="related">See also: ' + ', '.join(link(p, c) for p, c in extra) + '</div>')
    out.append(f'<p>Orders and questions: <a href="mailto:{mail_box}@supplies.example?subject=Enquiry">'
               f'{mail_box}@supplies.example</a></p>')
    out += ['<div class="footer">' + link('/index.html', 'Back to the start') + '</div>', '</body>', '</html>', '']
    return '\n'.join(out)


def make(root, pages):
    rng = random.Random(SEED)
    for path in page_paths(pages):
        file = os.path.join(root, path.lstrip('/'))
        os.makedirs(os.path.dirname(file), exist_ok=True)
        with open(file, 'w', encoding='ascii', newline='\n') as f:
            f.write(page_html(path, pages, rng))
    os.makedirs(os.path.join(root, 'img'), exist_ok=True)
    for i in range(IMAGES):
        with open(os.path.join(root, 'img', f'g{i}.gif'), 'wb') as f:
            f.write(GIF)


class Links(html.parser.HTMLParser):
    """href and src values of a page, as a browser reads them."""

    def __init__(self):
        super().__init__()
        self.links = []

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name in ('href', 'src') and value is not None:
                self.links.append(value)


def check(root, pages):
    """Faults of the site under ROOT (empty when it is right) and its summary line."""
    faults = []
    base = 'http://site'
    files = set()
    for folder, _, names in os.walk(root):
        for name in names:
            if name.endswith('.html'):
                files.add('/' + os.path.relpath(os.path.join(folder, name), root).replace(os.sep, '/'))
    if len(files) != pages:
        faults.append(f'{len(files)} pages instead of {pages}')
    if '/index.html' not in files:
        return [f'no /index.html under {root}'], ''
    graph, distinct, counts, sizes = {}, set(), [], []
    for path in sorted(files):
        with open(os.path.join(root, path.lstrip('/')), encoding='ascii') as f:
            body = f.read()
        sizes.append(len(body))
        parser = Links()
        parser.feed(body)
        counts.append(len(parser.links))
        targets = []
        for raw in parser.links:
            if raw.lower().startswith('mailto:'):
                distinct.add(raw.split('?')[0].lower())
                continue
            url = urllib.parse.urljoin(base + path, raw)
            distinct.add(url)
            target = urllib.parse.urlsplit(url).path
            if not os.path.exists(os.path.join(root, target.lstrip('/'))):
                faults.append(f'{path} links to {target}, which does not exist')
            if target.endswith('.html'):
                targets.append(target)
        graph[path] = targets
    # Breadth first from the home page: every page within three links.
    depth = {'/index.html': 0}
    queue = collections.deque(['/index.html'])
    while queue:
        page = queue.popleft()
        for target in graph.get(page, []):
            if target not in depth:
                depth[target] = depth[page] + 1
                queue.append(target)
    unreached = sorted(files - depth.keys())
    if unreached:
        faults.append(f'{len(unreached)} pages not linked from the home page, like {unreached[0]}')
    far = sorted(p for p, d in depth.items() if d > 3)
    if far:
        faults.append(f'{len(far)} pages more than three links from the home page, like {far[0]}')
    # Each link goes to the root, a child, or a child of an ancestor (see the top).
    for page, targets in graph.items():
        ancestors, p = set(), page
        while p is not None:
            ancestors.add(p)
            p = parent_of(p)
        for target in targets:
            if target != '/index.html' and parent_of(target) not in ancestors:
                faults.append(f'{page} links to {target}, which its own ancestors do not link')
                break
    levels = [0] * (max(depth.values()) + 1)
    for d in depth.values():
        levels[d] += 1
    distinct.discard(base + '/index.html')  # the start page is not a found link
    summary = (f'site: {len(files)} pages, {sum(sizes) / max(1, len(sizes)):.0f} bytes a page on average, '
               f'{min(counts, default=0)} to {max(counts, default=0)} links a page, '
               f'{max(depth.values())} links at most from the home page '
               f'({"/".join(str(n) for n in levels)} pages at 0, 1, ... links), '
               f'{len(distinct)} distinct links besides the home page')
    return faults, summary


def main(argv):
    if len(argv) != 4 or argv[1] not in ('make', 'check') or not argv[3].isdigit():
        sys.exit(__doc__)
    root, pages = argv[2], int(argv[3])
    if pages < 3:
        sys.exit('site.py: PAGES must be at least 3 (home, one hub, one section)')
    if argv[1] == 'make':
        make(root, pages)
        return
    faults, summary = check(root, pages)
    if faults:
        for fault in faults[:20]:
            print('site.py: ' + fault, file=sys.stderr)
        sys.exit(1)
    print(summary)


if __name__ == '__main__':
    main(sys.argv)
