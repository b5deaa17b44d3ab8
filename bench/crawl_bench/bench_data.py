"""Data of the crawl benchmark: the company pages, the Tarvimo task and home, and the check
of what each collector delivered.

    bench_data.py site ROOT PAGES            pages ROOT/c/N.html, N = 0 .. PAGES-1
    bench_data.py list FILE BASE PAGES       the address list (CR LF), BASE like http://127.0.0.1:8080
    bench_data.py task HOME LIST TASK THREADS  Tarvimo's settings in HOME and the task file TASK
    bench_data.py check PAGES TARVIMO_OUT SCRAPY_OUT   rows of both against the pages

Every value of a page follows from its number alone, so the check needs no stored copy.
"""

import json
import os
import random
import sys

# The contact block: CSS class, the label before the value on the page (also Tarvimo's
# begin marker and the column caption without its colon), the English column name.
FIELDS = [
    ('f1', '联系人', 'contact'),
    ('f2', '职务', 'position'),
    ('f3', '手机', 'mobile'),
    ('f4', '电话', 'phone'),
    ('f5', '传真', 'fax'),
    ('f6', '邮箱', 'email'),
    ('f7', '地址', 'address'),
    ('f8', '邮编', 'postcode'),
]
END_MARKER = '</li>'
PAGE_BYTES = 12 * 1024
RELATED = 10
# Steps to the related pages: co-prime mixes, so following links walks long loops.
RELATED_STEPS = [1, 2, 3, 5, 8, 13, 21, 34, 55, 89]

SURNAMES = '王李张刘陈杨黄赵周吴徐孙马朱胡郭何林高罗郑梁谢宋唐许韩冯邓曹彭曾肖田董潘袁蔡蒋余于杜叶程魏苏吕丁任沈姚卢姜崔钟谭陆汪范金石廖贾夏韦方白邹孟熊秦邱江尹薛闫段雷侯龙史陶黎贺顾毛郝龚邵万钱严覃武戴莫孔向汤'
GIVEN = ['建国', '建华', '国强', '志强', '秀英', '桂英', '丽娟', '海燕', '文静', '晓明', '伟', '芳', '娜', '敏', '静',
         '磊', '军', '洋', '勇', '艳', '杰', '涛', '明', '超', '霞', '平', '刚', '婷', '红梅', '玉兰', '春生', '德华',
         '立新', '卫东', '振华', '永刚', '雪梅', '慧敏', '子涵', '浩然']
POSITIONS = ['总经理', '销售经理', '采购主管', '市场部经理', '业务员', '办公室主任', '外贸部经理', '客服专员', '厂长',
             '技术总监']
# Province, city, area code, postcode prefix, districts, roads.
CITIES = [
    ('浙江省', '杭州', '0571', '310', ['西湖区', '拱墅区', '滨江区', '萧山区'], ['文三路', '天目山路', '江南大道', '莫干山路']),
    ('浙江省', '宁波', '0574', '315', ['鄞州区', '江北区', '北仑区'], ['中山东路', '天童南路', '江南公路']),
    ('浙江省', '温州', '0577', '325', ['鹿城区', '瓯海区', '龙湾区'], ['车站大道', '温州大道', '学院中路']),
    ('江苏省', '苏州', '0512', '215', ['姑苏区', '吴中区', '相城区'], ['干将路', '东环路', '人民路']),
    ('江苏省', '无锡', '0510', '214', ['梁溪区', '滨湖区', '锡山区'], ['解放南路', '太湖大道', '锡沪路']),
    ('广东省', '广州', '020', '510', ['天河区', '白云区', '番禺区'], ['天河路', '广州大道', '机场路']),
    ('广东省', '深圳', '0755', '518', ['南山区', '宝安区', '龙岗区'], ['深南大道', '宝安大道', '龙岗大道']),
    ('广东省', '东莞', '0769', '523', ['长安镇', '虎门镇', '厚街镇'], ['莞长路', '连升路', '康乐南路']),
    ('山东省', '青岛', '0532', '266', ['市南区', '李沧区', '黄岛区'], ['香港中路', '九水路', '长江中路']),
    ('河南省', '郑州', '0371', '450', ['金水区', '二七区', '中原区'], ['花园路', '大学路', '建设西路']),
    ('湖北省', '武汉', '027', '430', ['江汉区', '洪山区', '汉阳区'], ['解放大道', '珞喻路', '汉阳大道']),
    ('四川省', '成都', '028', '610', ['武侯区', '锦江区', '成华区'], ['人民南路', '春熙路', '建设路']),
]
BRANDS = '华中鑫源恒达宏盛永兴瑞丰金泰东方万通鼎盛新科天成博远利民安顺广宇振兴佳美信诚'
TRADES = ['机械', '五金', '电子', '纺织', '化工', '塑胶', '包装', '阀门', '模具', '照明', '家具', '建材', '服装', '食品']
MAIL_NAMES = ['sales', 'info', 'service', 'market', 'trade', 'office', 'contact', 'export']
MAIL_HOSTS = ['163.com', '126.com', 'qq.com', 'sina.com', 'sohu.com', 'aliyun.com']
MOBILE_PREFIXES = ['130', '131', '132', '133', '135', '136', '137', '138', '139', '150', '151', '152', '153', '155',
                   '156', '157', '158', '159', '180', '181', '182', '183', '185', '186', '187', '188', '189']
# Padding: no full-width colon, so no sentence can be taken for a field label.
SENTENCES = [
    '本公司是一家集研发、生产、销售于一体的现代化企业，',
    '产品远销欧美、东南亚等三十多个国家和地区，',
    '公司拥有先进的生产设备和完善的检测手段，',
    '始终坚持质量第一、用户至上的经营理念，',
    '热忱欢迎国内外客商前来参观考察、洽谈业务。',
    '我们通过了ISO9001质量管理体系认证，',
    '拥有一支经验丰富的技术研发团队，',
    '年生产能力达到五十万台套，',
    '主要产品广泛应用于汽车、家电、通讯、建筑等行业，',
    '公司占地面积两万余平方米，员工三百余人，',
    '可根据客户要求来图来样加工定制，',
    '以优良的品质、合理的价格和周到的服务赢得了广大客户的信赖。',
    '公司地处交通便利的经济开发区，',
    '多年来被评为重合同守信用单位，',
    '我们愿与各界朋友携手合作，共创美好未来。',
    '产品规格齐全，库存充足，交货及时，',
]


def company(i):
    """The company of page i: its name and the eight field values, in FIELDS order."""
    r = random.Random(i)
    province, city, code, post, districts, roads = r.choice(CITIES)
    name = city + r.choice(BRANDS) + r.choice(BRANDS) + r.choice(TRADES) + '有限公司'
    # The last eight digits are a bijection of i below 10**8, so no two pages share a mobile.
    mobile = r.choice(MOBILE_PREFIXES) + '%08d' % ((i * 48271 + 10495763) % 100000000)
    values = [
        r.choice(SURNAMES) + r.choice(GIVEN),
        r.choice(POSITIONS),
        mobile,
        '%s-%d' % (code, r.randrange(60000000, 89999999)),
        '%s-%d' % (code, r.randrange(60000000, 89999999)),
        '%s%d@%s' % (r.choice(MAIL_NAMES), i, r.choice(MAIL_HOSTS)),
        '%s%s市%s%s%d号' % (province, city, r.choice(districts), r.choice(roads), r.randrange(1, 999)),
        post + '%03d' % r.randrange(0, 1000),
    ]
    return name, values


def page_html(i, pages):
    """Page i as text: title, heading, intro, contact block, padding, related links."""
    name, values = company(i)
    r = random.Random(-1 - i)
    head = ('<!DOCTYPE html>\r\n<html><head><meta charset="gbk">\r\n'
            '<title>%s - 联系方式</title>\r\n<link rel="stylesheet" href="/s/site.css"></head>\r\n<body>\r\n'
            '<div class="top"><ul class="nav"><li><a href="/">首页</a></li><li><a href="/c/">企业库</a></li>'
            '<li><a href="/p/">产品库</a></li><li><a href="/n/">行业资讯</a></li></ul></div>\r\n'
            '<div class="main">\r\n<h1>%s</h1>\r\n<p class="intro">%s</p>\r\n' %
            (name, name, ''.join(r.choice(SENTENCES) for _ in range(8))))
    contact = ['<div class="contact"><h2>联系方式</h2><ul>\r\n']
    for (cls, label, _), value in zip(FIELDS, values):
        contact.append('<li class="%s"><b>%s：</b>%s%s\r\n' % (cls, label, value, END_MARKER))
    contact.append('</ul></div>\r\n')
    links = ['<div class="links"><h2>相关企业</h2><ul>\r\n']
    for step in RELATED_STEPS[:RELATED]:
        j = (i + step) % pages
        links.append('<li><a href="/c/%d.html">%s</a></li>\r\n' % (j, company(j)[0]))
    links.append('</ul></div>\r\n')
    tail = '<div class="foot">版权所有 %s 技术支持 本地演示站</div>\r\n</body></html>\r\n' % name
    fixed = head + ''.join(contact) + ''.join(links) + tail
    size = len(fixed.encode('gbk')) + len('<div class="about"><h2>公司介绍</h2><p></p></div>\r\n'.encode('gbk'))
    about = []
    while size < PAGE_BYTES:
        s = r.choice(SENTENCES)
        if len(about) % 6 == 5:
            s += '</p>\r\n<p>'
        about.append(s)
        size += len(s.encode('gbk'))
    return (head + ''.join(contact) + '<div class="about"><h2>公司介绍</h2><p>' + ''.join(about) + '</p></div>\r\n' +
            ''.join(links) + tail)


def write_site(root, pages):
    d = os.path.join(root, 'c')
    os.makedirs(d, exist_ok=True)
    for i in range(pages):
        with open(os.path.join(d, '%d.html' % i), 'wb') as f:
            f.write(page_html(i, pages).encode('gbk'))


def write_list(path, base, pages):
    with open(path, 'wb') as f:
        f.write(''.join('%s/c/%d.html\r\n' % (base, i) for i in range(pages)).encode('ascii'))


def rule_line(index, header, items):
    # The program's delimited form: a header item, one item per rule, a trailing empty item.
    return 'ruledata%d=%s\r\n' % (index, '^'.join([header] + items + ['']))


def task_text(list_file):
    lines = [
        '[master]\r\n', 'taskname=crawl-bench\r\n', 'taskremark=本地企业页面采集基准\r\n',
        # An address list without the per-row pause of company-directory tasks.
        'tasktypes=2\r\n', 'taktype=1\r\n',
        '[list]\r\n', 'listfile=%s\r\n' % list_file, 'listuse=1\r\n', 'listanaly=0\r\n',
        '[rule]\r\n', 'ruleSplit=^\r\n', 'rowcount=%d\r\n' % (len(FIELDS) + 1),
        rule_line(0, '中文名称', [label for _, label, _ in FIELDS]),
        rule_line(1, '英文名称', [english for _, _, english in FIELDS]),
        rule_line(2, '前标识符', [label + '：' for _, label, _ in FIELDS]),
        rule_line(3, '后标识符', [END_MARKER] * len(FIELDS)),
        rule_line(4, '信息类型', [''] * len(FIELDS)),
        rule_line(5, '保留Html代码', [''] * len(FIELDS)),
        'rulesaveurl=0\r\n',
        '[SuperSet]\r\n', 'charType=0\r\n', 'autogettime=0\r\n',
    ]
    return ''.join(lines)


def settings_text(threads):
    # No e-mail lookup: it would leave the machine and is not what is measured.
    return '[default]\r\ngetEmail=0\r\n[urltype]\r\nthreadcount=%d\r\ntimeout=60\r\n' % threads


def write_task(home, list_file, task, threads):
    os.makedirs(home, exist_ok=True)
    with open(os.path.join(home, 'DefaultSet.ini'), 'wb') as f:
        f.write(settings_text(threads).encode('gbk'))
    with open(task, 'wb') as f:
        f.write(task_text(os.path.abspath(list_file)).encode('gbk'))


def read_tarvimo(path):
    """Rows of a Tarvimo output file (GBK, TAB, CR LF, title line first) in FIELDS order."""
    with open(path, 'rb') as f:
        lines = f.read().decode('gb18030').split('\r\n')
    while lines and lines[-1] == '':
        lines.pop()
    if not lines:
        raise ValueError('%s is empty' % path)
    header = lines[0].split('\t')
    try:
        columns = [header.index(label) for _, label, _ in FIELDS]
    except ValueError:
        raise ValueError('%s: title line %r lacks a field caption' % (path, lines[0]))
    rows = []
    for n, line in enumerate(lines[1:], 2):
        cells = line.split('\t')
        if len(cells) < len(header):
            raise ValueError('%s line %d: %d cells, the title line has %d' % (path, n, len(cells), len(header)))
        rows.append(tuple(cells[c] for c in columns))
    return rows


def read_scrapy(path):
    """Rows of the spider's JSON-lines feed in FIELDS order."""
    rows = []
    with open(path, encoding='utf-8') as f:
        for line in f:
            if line.strip():
                item = json.loads(line)
                rows.append(tuple(item.get(cls, '') for cls, _, _ in FIELDS))
    return rows


def compare(rows, pages):
    """Problems of rows against the pages' values: missing, unexpected and repeated rows."""
    expected = {tuple(company(i)[1]) for i in range(pages)}
    seen, problems = set(), []
    for row in rows:
        if row in seen:
            problems.append('repeated row %s' % '|'.join(row))
        elif row not in expected:
            problems.append('unexpected row %s' % '|'.join(row))
        seen.add(row)
    missing = len(expected - seen)
    if missing:
        problems.append('%d pages without their row' % missing)
    return problems


def check(pages, tarvimo_out, scrapy_out, out=sys.stdout):
    """Prints the row counts and a few rows side by side; returns 0 when both are complete."""
    failed = False
    results = {}
    for tool, reader, path in (('tarvimo', read_tarvimo, tarvimo_out), ('scrapy', read_scrapy, scrapy_out)):
        try:
            rows = reader(path)
        except (OSError, ValueError) as e:
            print('check:    %s output unreadable: %s' % (tool, e), file=out)
            failed = True
            continue
        problems = compare(rows, pages)
        results[tool] = rows
        print('check:    %s %d rows for %d pages, %s' %
              (tool, len(rows), pages, 'all values as on the pages' if not problems else '%d problems' % len(problems)),
              file=out)
        for p in problems[:5]:
            print('          %s' % p, file=out)
        failed = failed or bool(problems)
    if len(results) == 2:
        # The same page seen by both, found by its mobile number (unique per page).
        by_mobile = {row[2]: row for row in results['scrapy']}
        shown = 0
        for row in results['tarvimo']:
            other = by_mobile.get(row[2])
            if other is None:
                continue
            print('sample:   tarvimo %s' % ' | '.join(row), file=out)
            print('          scrapy  %s%s' % (' | '.join(other), '' if other == row else '   <- differs'), file=out)
            failed = failed or other != row
            shown += 1
            if shown == 3:
                break
    return 1 if failed else 0


def main(argv):
    cmd = argv[1] if len(argv) > 1 else ''
    if cmd == 'site' and len(argv) == 4:
        write_site(argv[2], int(argv[3]))
    elif cmd == 'list' and len(argv) == 5:
        write_list(argv[2], argv[3], int(argv[4]))
    elif cmd == 'task' and len(argv) == 6:
        write_task(argv[2], argv[3], argv[4], int(argv[5]))
    elif cmd == 'check' and len(argv) == 5:
        return check(int(argv[2]), argv[3], argv[4])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
