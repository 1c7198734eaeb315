#!/usr/bin/env python3
"""Writes applicants.csv, the example data for applicants.rules.

Housing-subsidy applications with Chinese names, cities and addresses. Most
rows pass every rule; a share of them is made to fail one rule or another
(a wrong phone, a birth date that does not match the ID number, a missing
income...). The output is the same on every run (fixed seed).

    python3 examples/make_applicants.py [ROWS] > examples/applicants.csv
"""

import csv
import datetime
import random
import sys

SURNAMES = "王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董袁潘于蒋蔡余杜叶程苏魏吕丁任沈姚卢"
GIVEN = "伟芳娜秀英敏静丽强磊军洋勇艳杰娟涛明超秀兰霞平刚桂英华建国志红鹏辉玲丹萍宇浩然子涵欣怡梓轩雨桐思远嘉豪"
CITIES = {
    "北京": ("110105", ["朝阳区建国路", "海淀区中关村大街", "东城区王府井大街"]),
    "上海": ("310115", ["浦东新区世纪大道", "徐汇区漕溪北路", "静安区南京西路"]),
    "广州": ("440106", ["天河区体育西路", "越秀区北京路"]),
    "深圳": ("440305", ["南山区科技园路", "福田区深南大道"]),
    "杭州": ("330106", ["西湖区文三路", "滨江区江南大道"]),
    "成都": ("510107", ["武侯区人民南路", "锦江区春熙路"]),
    "武汉": ("420106", ["武昌区中南路", "洪山区珞喻路"]),
    "南京": ("320106", ["鼓楼区中山北路", "玄武区珠江路"]),
}
HEADER = ["ID", "NAME", "IDNO:text", "BIRTH", "APPLIED", "CITY", "PHONE:text", "EMAIL",
          "INCOME", "HOUSEHOLD", "MONTHS_EMPLOYED", "ADDRESS"]


def id_check_digit(first17):
    weights = [7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2]
    total = sum(int(d) * w for d, w in zip(first17, weights))
    return "10X98765432"[total % 11]


def id_number(region, birth, rng):
    first17 = region + birth.strftime("%Y%m%d") + "%03d" % rng.randint(1, 999)
    return first17 + id_check_digit(first17)


def us_date(day):
    """Month/day/year: the date order of the C and English locales, which TODATE follows."""
    return "%02d/%02d/%d" % (day.month, day.day, day.year)


def address(city, rng):
    _, streets = CITIES[city]
    street = rng.choice(streets) + "%d号" % rng.randint(1, 300)
    kind = rng.random()
    if kind < 0.15:
        return street + ", %d单元 %d室" % (rng.randint(1, 6), rng.randint(101, 2402))
    if kind < 0.22:
        return street + ' "幸福里"小区'
    if kind < 0.27:
        return street + "\n%d栋" % rng.randint(1, 30)
    return street


def applicant(number, rng):
    city = rng.choice(list(CITIES))
    applied = datetime.date(2025, 1, 1) + datetime.timedelta(days=rng.randint(0, 364))
    birth = applied - datetime.timedelta(days=rng.randint(20 * 365, 34 * 365))
    name = rng.choice(SURNAMES) + "".join(rng.choice(GIVEN) for _ in range(rng.choice([1, 2, 2])))
    household = rng.randint(1, 5)
    row = {
        "ID": "A%04d" % number,
        "NAME": name,
        "IDNO:text": id_number(CITIES[city][0], birth, rng),
        "BIRTH": us_date(birth),
        "APPLIED": us_date(applied),
        "CITY": city,
        "PHONE:text": "1" + rng.choice("3456789") + "".join(rng.choice("0123456789") for _ in range(9)),
        "EMAIL": "user%d@example.cn" % number,
        "INCOME": str(rng.randint(3000, 7500) * household),
        "HOUSEHOLD": str(household),
        "MONTHS_EMPLOYED": str(rng.randint(24, 120)),
        "ADDRESS": address(city, rng),
    }
    spoil(row, birth, applied, rng)
    return row


def spoil(row, birth, applied, rng):
    """Makes about a third of the rows break one rule."""
    fault = rng.randint(0, 29)
    if fault == 0:
        row["PHONE:text"] = row["PHONE:text"][:10]
    elif fault == 1:
        row["EMAIL"] = row["EMAIL"].replace("@", "#")
    elif fault == 2:
        other = birth + datetime.timedelta(days=rng.randint(1, 400))
        row["IDNO:text"] = row["IDNO:text"][:6] + other.strftime("%Y%m%d") + row["IDNO:text"][14:]
    elif fault == 3:
        young = applied - datetime.timedelta(days=rng.randint(16 * 365, 18 * 365 - 10))
        row["BIRTH"] = us_date(young)
        row["IDNO:text"] = row["IDNO:text"][:6] + young.strftime("%Y%m%d") + row["IDNO:text"][14:]
    elif fault == 4:
        old = applied - datetime.timedelta(days=rng.randint(37 * 365, 50 * 365))
        row["BIRTH"] = us_date(old)
        row["IDNO:text"] = row["IDNO:text"][:6] + old.strftime("%Y%m%d") + row["IDNO:text"][14:]
    elif fault == 5:
        row["INCOME"] = str(int(row["HOUSEHOLD"]) * rng.randint(8000, 15000))
    elif fault == 6:
        row["INCOME"] = ""
    elif fault == 7:
        row["MONTHS_EMPLOYED"] = str(rng.randint(0, 11))
    elif fault == 8:
        row["NAME"] = row["NAME"] + "阿依古丽"
    elif fault == 9:
        row["ADDRESS"] = row["CITY"] + "市"


def main():
    rows = int(sys.argv[1]) if len(sys.argv) > 1 else 300
    rng = random.Random(7)
    sys.stdout.reconfigure(encoding="utf-8", newline="")
    writer = csv.DictWriter(sys.stdout, fieldnames=HEADER, lineterminator="\r\n")
    writer.writeheader()
    for number in range(1, rows + 1):
        writer.writerow(applicant(number, rng))


if __name__ == "__main__":
    main()
