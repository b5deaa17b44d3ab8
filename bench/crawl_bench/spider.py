"""The Scrapy side of the crawl benchmark: the pages of an address list, the eight contact
fields cut with CSS selectors, one JSON line per page.

    python3 spider.py LIST OUT [CONCURRENCY]
"""

import os
import sys

from scrapy import Request, Spider
from scrapy.crawler import CrawlerProcess

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_data import FIELDS  # noqa: E402


class CompanySpider(Spider):
    name = 'crawl_bench'

    def __init__(self, list_file, **kwargs):
        super().__init__(**kwargs)
        self.list_file = list_file

    def start_requests(self):
        with open(self.list_file, encoding='ascii') as f:
            for line in f:
                url = line.strip()
                if url:
                    yield Request(url, callback=self.parse)

    def parse(self, response):
        # The page declares GBK in its meta tag and nginx names no charset, so Scrapy decodes
        # with the declared one; a page decoded otherwise would not match in the check.
        yield {cls: (response.css('li.%s::text' % cls).get() or '').strip() for cls, _, _ in FIELDS}


def main(argv):
    if len(argv) not in (3, 4):
        print(__doc__, file=sys.stderr)
        return 2
    concurrency = int(argv[3]) if len(argv) == 4 else 20
    process = CrawlerProcess(settings={
        'CONCURRENT_REQUESTS': concurrency,
        'CONCURRENT_REQUESTS_PER_DOMAIN': concurrency,
        'ROBOTSTXT_OBEY': False,
        'AUTOTHROTTLE_ENABLED': False,
        'DOWNLOAD_DELAY': 0,
        'LOG_LEVEL': 'WARNING',
        # The console would listen on a port of its own; nothing here uses it.
        'TELNETCONSOLE_ENABLED': False,
        'FEEDS': {argv[2]: {'format': 'jsonlines', 'encoding': 'utf-8', 'overwrite': True}},
    })
    process.crawl(CompanySpider, list_file=argv[1])
    process.start()
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
