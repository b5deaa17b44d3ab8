"""Checks of the crawl benchmark's data: both collectors can read the same values from the
pages, the task file has the program's rule-table form, and the row check catches faults.

    /usr/bin/python3 bench/crawl_bench/test_bench_data.py
    TARVIMO_CLI=build/release/src/app/tarvimo-cli /usr/bin/python3 bench/crawl_bench/test_bench_data.py
"""

import html.parser
import os
import re
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bench_data as bd  # noqa: E402

try:
    from scrapy.http import HtmlResponse
except ImportError:
    HtmlResponse = None

PAGES = 200


class ListItemText(html.parser.HTMLParser):
    """The text directly inside each <li class="fN">, as 'li.fN::text' selects it."""

    def __init__(self):
        super().__init__()
        self.values, self.open = {}, []

    def handle_starttag(self, tag, attrs):
        if tag == 'li':
            self.open.append(dict(attrs).get('class'))
        elif self.open:
            self.open.append(None)  # a child element: its text is not the item's own

    def handle_endtag(self, tag):
        if self.open:
            self.open.pop()

    def handle_data(self, data):
        if self.open and self.open[-1]:
            self.values[self.open[-1]] = self.values.get(self.open[-1], '') + data


def marker_cut(page, begin, end, start):
    """Begin/end-marker cut from 'start' on, tags removed: (value, position after it)."""
    b = page.index(begin, start) + len(begin)
    e = page.index(end, b)
    return re.sub(r'<[^>]*>', '', page[b:e]).strip(), e


class PageTest(unittest.TestCase):
    def test_marker_cut_and_list_item_text_give_the_page_values(self):
        for i in range(PAGES):
            page = bd.page_html(i, PAGES)
            values = bd.company(i)[1]
            parser = ListItemText()
            parser.feed(page)
            pos = 0
            for (cls, label, _), value in zip(bd.FIELDS, values):
                cut, pos = marker_cut(page, label + '：', bd.END_MARKER, pos)
                self.assertEqual(cut, value, (i, cls))
                self.assertEqual(parser.values.get(cls, '').strip(), value, (i, cls))

    def test_no_field_label_before_the_contact_block(self):
        # Tarvimo cuts the fields in order from the first begin marker found.
        for i in range(PAGES):
            page = bd.page_html(i, PAGES)
            block = page.index('<div class="contact">')
            for _, label, _ in bd.FIELDS:
                self.assertNotIn(label + '：', page[:block], i)

    def test_values_survive_the_programs_field_cleaning(self):
        # Tarvimo lower-cases the page and deletes the clear-list characters from values.
        for i in range(PAGES):
            for value in bd.company(i)[1]:
                self.assertEqual(value, value.lower())
                self.assertFalse(set(value) & set(':：“*\t'), value)

    def test_pages_are_gbk_of_the_intended_size_with_related_links(self):
        for i in range(PAGES):
            page = bd.page_html(i, PAGES)
            size = len(page.encode('gbk'))
            self.assertTrue(bd.PAGE_BYTES <= size < bd.PAGE_BYTES + 200, (i, size))
            self.assertIn('<meta charset="gbk">', page)
            links = [int(n) for n in re.findall(r'<a href="/c/(\d+)\.html">', page)]
            self.assertEqual(len(links), bd.RELATED)
            self.assertTrue(all(0 <= n < PAGES and n != i for n in links))

    def test_mobiles_are_distinct_chinese_numbers_and_mails_addresses(self):
        mobiles = set()
        for i in range(5000):
            values = bd.company(i)[1]
            self.assertRegex(values[2], r'^1[358]\d{9}$')
            self.assertRegex(values[5], r'^[a-z]+\d+@[a-z0-9.]+\.com$')
            mobiles.add(values[2])
        self.assertEqual(len(mobiles), 5000)

    @unittest.skipUnless(HtmlResponse, 'Scrapy not importable')
    def test_scrapy_decodes_the_page_from_its_meta_charset(self):
        from spider import CompanySpider
        spider = CompanySpider(list_file='unused')
        for i in (0, 7, 123):
            # No charset in the headers, as nginx serves the pages.
            response = HtmlResponse('http://127.0.0.1/c/%d.html' % i, body=bd.page_html(i, PAGES).encode('gbk'),
                                    headers={'Content-Type': 'text/html'})
            (item,) = spider.parse(response)
            self.assertEqual([item[cls] for cls, _, _ in bd.FIELDS], bd.company(i)[1])

    @unittest.skipUnless(os.environ.get('TARVIMO_CLI'), 'TARVIMO_CLI not set')
    def test_tarvimo_extracts_the_page_values_with_the_task(self):
        with tempfile.TemporaryDirectory() as d:
            bd.write_task(os.path.join(d, 'home'), os.path.join(d, 'list.txt'), os.path.join(d, 't.tak'), 20)
            for i in (0, 7, 123):
                page = os.path.join(d, '%d.html' % i)
                with open(page, 'wb') as f:
                    f.write(bd.page_html(i, PAGES).encode('gbk'))
                out = subprocess.run([os.environ['TARVIMO_CLI'], '--home', os.path.join(d, 'home'), 'extract',
                                      os.path.join(d, 't.tak'), page], capture_output=True, check=True, text=True)
                self.assertEqual(out.stdout.strip().split('^'), bd.company(i)[1])


class TaskTest(unittest.TestCase):
    def test_rule_table_has_header_rules_and_trailing_empty_item(self):
        text = bd.task_text('/tmp/list.txt')
        text.encode('gbk')
        keys = dict(line.split('=', 1) for line in text.split('\r\n') if '=' in line)
        for n, header in enumerate(['中文名称', '英文名称', '前标识符', '后标识符', '信息类型', '保留Html代码']):
            items = keys['ruledata%d' % n].split('^')
            self.assertEqual(len(items), len(bd.FIELDS) + 2)
            self.assertEqual((items[0], items[-1]), (header, ''))
        self.assertEqual(keys['ruledata2'].split('^')[1], '联系人：')
        self.assertEqual(keys['rowcount'], str(len(bd.FIELDS) + 1))
        self.assertEqual((keys['tasktypes'], keys['taktype'], keys['autogettime']), ('2', '1', '0'))


class CheckTest(unittest.TestCase):
    def setUp(self):
        self.rows = [tuple(bd.company(i)[1]) for i in range(20)]

    def test_complete_rows_in_any_order_pass(self):
        self.assertEqual(bd.compare(list(reversed(self.rows)), 20), [])

    def test_changed_repeated_and_missing_rows_are_reported(self):
        changed = self.rows[:]
        changed[3] = changed[3][:6] + ('wrong',) + changed[3][7:]
        self.assertEqual(len(bd.compare(changed, 20)), 2)  # one unexpected, one page short
        self.assertIn('repeated', bd.compare(self.rows + self.rows[:1], 20)[0])
        self.assertEqual(bd.compare(self.rows[:-2], 20), ['2 pages without their row'])

    def write(self, d, text):
        path = os.path.join(d, 'out.tsv')
        with open(path, 'wb') as f:
            f.write(text.encode('gbk'))
        return path

    def test_tarvimo_columns_are_found_by_caption(self):
        header = ['序号'] + [label for _, label, _ in reversed(bd.FIELDS)]
        lines = ['\t'.join(header)] + ['\t'.join([str(n)] + list(reversed(r))) for n, r in enumerate(self.rows, 1)]
        with tempfile.TemporaryDirectory() as d:
            self.assertEqual(bd.read_tarvimo(self.write(d, '\r\n'.join(lines) + '\r\n')), self.rows)
            with self.assertRaises(ValueError):
                bd.read_tarvimo(self.write(d, '序号\t名称\r\n1\tx\r\n'))
            with self.assertRaises(ValueError):
                bd.read_tarvimo(self.write(d, lines[0] + '\r\n1\tonly\r\n'))

    def test_check_fails_when_one_tool_differs(self):
        header = '\t'.join(label for _, label, _ in bd.FIELDS)
        with tempfile.TemporaryDirectory() as d:
            tsv = self.write(d, header + '\r\n' + ''.join('\t'.join(r) + '\r\n' for r in self.rows))
            jl = os.path.join(d, 'out.jl')
            with open(jl, 'w', encoding='utf-8') as f:
                for r in self.rows:
                    f.write(bd.json.dumps(dict(zip((c for c, _, _ in bd.FIELDS), r)), ensure_ascii=False) + '\n')
            with open(os.devnull, 'w') as null:
                self.assertEqual(bd.check(20, tsv, jl, null), 0)
                with open(jl, 'a', encoding='utf-8') as f:
                    f.write('{"f1": "x"}\n')
                self.assertEqual(bd.check(20, tsv, jl, null), 1)


if __name__ == '__main__':
    unittest.main()
