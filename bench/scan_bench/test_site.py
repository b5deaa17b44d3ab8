"""Checks of the scan benchmark's site: exactly PAGES pages, all within three links of the
home page, the same bytes on every run, and a check that notices a broken site.

    python3 bench/scan_bench/test_site.py
"""

import filecmp
import importlib.util
import os
import re
import tempfile
import unittest

# Loaded from its file: "import site" would give Python's own module of that name.
_spec = importlib.util.spec_from_file_location(
    'scan_bench_site', os.path.join(os.path.dirname(os.path.abspath(__file__)), 'site.py'))
bench_site = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(bench_site)


def read(root, path):
    with open(os.path.join(root, path.lstrip('/')), encoding='ascii') as f:
        return f.read()


def write(root, path, body):
    with open(os.path.join(root, path.lstrip('/')), 'w', encoding='ascii') as f:
        f.write(body)


class LayoutTest(unittest.TestCase):
    def test_every_page_count_is_met_exactly(self):
        for pages in list(range(3, 1200)) + [1999, 2000, 20000, 20001, 100000]:
            paths = bench_site.page_paths(pages)
            self.assertEqual(len(paths), pages, pages)
            self.assertEqual(len(set(paths)), pages, pages)
            self.assertTrue(all(bench_site.parent_of(p) in paths for p in paths[1:]), pages)

    def test_leaves_are_spread_evenly(self):
        counts = bench_site.leaf_counts(20000)
        self.assertLessEqual(max(counts) - min(counts), 1)
        self.assertGreaterEqual(min(counts), 20)


class SiteTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.root = os.path.join(self.tmp.name, 'www')

    def tearDown(self):
        self.tmp.cleanup()

    def test_made_sites_pass_the_check(self):
        for pages in (3, 8, 300):
            root = os.path.join(self.tmp.name, str(pages))
            bench_site.make(root, pages)
            faults, summary = bench_site.check(root, pages)
            self.assertEqual(faults, [], pages)
            self.assertIn(f'site: {pages} pages', summary)

    def test_pages_mix_link_styles_and_stay_small(self):
        bench_site.make(self.root, 2000)
        bodies = [read(self.root, p) for p in bench_site.page_paths(2000)]
        joined = '\n'.join(bodies)
        self.assertRegex(joined, r'<A HREF=[^"\' >]+>')
        self.assertRegex(joined, r"href='[^']+'")
        self.assertRegex(joined, r'href="\.\./[^"]+"')
        self.assertRegex(joined, r'href="/h[^"]+"')
        for body in bodies:
            self.assertTrue(2000 <= len(body) <= 5000, len(body))
            self.assertEqual(body.count('mailto:'), 1)
            self.assertEqual(len(re.findall(r'<img src=', body)), 1)
            self.assertIn('<title>', body)

    def test_the_same_pages_on_every_run(self):
        other = os.path.join(self.tmp.name, 'again')
        bench_site.make(self.root, 300)
        bench_site.make(other, 300)
        for path in bench_site.page_paths(300):
            a, b = (os.path.join(r, path.lstrip('/')) for r in (self.root, other))
            self.assertTrue(filecmp.cmp(a, b, shallow=False), path)

    def test_the_check_finds_pages_too_far_or_not_linked(self):
        bench_site.make(self.root, 300)
        section, leaf = '/h1/s2/index.html', re.compile(r'<a [^>]*href=[\'"]?(/h1/s2/)?p0\.html[^>]*>[^<]*</a>', re.I)
        # Linked by its siblings only, the leaf is four links from the home page.
        write(self.root, section, leaf.sub('', read(self.root, section)))
        faults, _ = bench_site.check(self.root, 300)
        self.assertTrue(any('more than three links' in f for f in faults), faults)
        for path in bench_site.page_paths(300):
            if path.startswith('/h1/s2/'):
                write(self.root, path, leaf.sub('', read(self.root, path)))
        faults, _ = bench_site.check(self.root, 300)
        self.assertTrue(any('1 pages not linked from the home page' in f for f in faults), faults)

    def test_the_check_finds_a_leaf_linking_into_another_section(self):
        # Seen first on a last-depth page, that leaf would never be fetched.
        bench_site.make(self.root, 300)
        leaf = '/h0/s0/p0.html'
        write(self.root, leaf, read(self.root, leaf).replace('</body>', '<a href="/h2/s3/p1.html">x</a></body>'))
        faults, _ = bench_site.check(self.root, 300)
        self.assertTrue(any('ancestors do not link' in f for f in faults), faults)

    def test_the_check_finds_a_missing_page(self):
        bench_site.make(self.root, 300)
        os.remove(os.path.join(self.root, 'h3', 's1', 'p2.html'))
        faults, _ = bench_site.check(self.root, 300)
        self.assertIn('299 pages instead of 300', faults)
        self.assertTrue(any('/h3/s1/p2.html, which does not exist' in f for f in faults), faults)


if __name__ == '__main__':
    unittest.main()
