#!/usr/bin/env python3
"""Writes claims.csv, the example data for claims.rules, and claims.expected.csv.

Insurance claims as an Excel export on a Chinese Windows machine gives them:
GBK, CRLF, a Chinese header row over an English one, amounts with thousands
separators ("12,345.00"), dates written three ways (2024-03-05, 2024/3/5,
2024年3月5日), report times with a time of day, ID numbers ending in X,
18-digit policy numbers and remarks over several lines.

claims.expected.csv holds the verdict of every rule for every claim, worked
out here from the values before they were formatted: the batch must reach
the same verdicts from the file as written. The output is the same on every
run (fixed seed).

    python3 examples/make_claims.py [ROWS]
"""

import csv
import datetime
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
CHINESE_HEADER = ["理赔编号", "保单号", "被保险人", "身份证号", "理赔金额", "保单限额",
                  "保单生效日", "出险日期", "报案时间", "备注"]
ENGLISH_HEADER = ["CLAIM_NO", "POLICY_NO", "INSURED", "IDNO", "CLAIM_AMOUNT", "POLICY_LIMIT",
                  "POLICY_START", "ACCIDENT_DATE", "REPORTED", "REMARK"]
RULES = ["amount", "reported", "idno", "in_force", "remark"]
SURNAMES = "王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董袁潘"
GIVEN = "伟芳娜秀英敏静丽强磊军洋勇艳杰娟涛明超兰霞平刚华建国志红鹏辉玲丹萍宇浩然"
REMARKS = ["", "", "", "门诊费用", "住院十二天", "车辆追尾，对方全责",
           "第一次报案材料不全\r\n已补交发票", "手术费用较高，附病历"]


def id_number(born, rng):
    first17 = rng.choice(["110105", "310115", "440106"]) + born.strftime("%Y%m%d") + "%03d" % rng.randint(1, 999)
    weights = [7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2]
    return first17 + "10X98765432"[sum(int(d) * w for d, w in zip(first17, weights)) % 11]


def written_date(day, rng):
    form = rng.randrange(3)
    if form == 0:
        return day.strftime("%Y-%m-%d")
    if form == 1:
        return "%d/%d/%d" % (day.year, day.month, day.day)
    return "%d年%d月%d日" % (day.year, day.month, day.day)


def written_amount(cents):
    return "{:,}.{:02d}".format(cents // 100, cents % 100)


def a_year_on(day):
    return day.replace(year=day.year + 1)


def claim(number, rng):
    born = datetime.date(1960, 1, 1) + datetime.timedelta(days=rng.randrange(16000))
    idno = id_number(born, rng)
    if rng.random() < 0.05:
        idno = idno[:-1]
    limit = rng.choice([5000, 20000, 50000, 100000, 300000]) * 100
    amount = rng.randint(10000, limit + limit // 5)
    start = datetime.date(2023, 1, 1) + datetime.timedelta(days=rng.randrange(600))
    start = start.replace(day=min(start.day, 28))
    accident = start + datetime.timedelta(days=rng.randrange(400))
    late = rng.random() < 0.1
    reported = datetime.datetime.combine(accident, datetime.time()) + datetime.timedelta(
        days=rng.randint(31, 60) if late else rng.randint(0, 30),
        hours=rng.choice([0, 0, 9, 10, 16]), minutes=rng.choice([0, 30]))
    remark = rng.choice(REMARKS)
    if reported.hour or reported.minute:
        reported_text = reported.strftime("%Y-%m-%d %H:%M")
    else:
        reported_text = written_date(reported.date(), rng)
    if rng.random() < 0.01:
        reported_text, reported = "待定", None
    row = ["CL%06d" % number, "2024%014d" % rng.randrange(10 ** 14),
           rng.choice(SURNAMES) + "".join(rng.choice(GIVEN) for _ in range(rng.randint(1, 2))),
           idno, written_amount(amount), written_amount(limit), written_date(start, rng),
           written_date(accident, rng), reported_text, remark]
    accident_start = datetime.datetime.combine(accident, datetime.time())
    verdicts = {
        "amount": amount <= limit,
        "reported": None if reported is None else
        (reported >= accident_start and (reported - accident_start) <= datetime.timedelta(days=30)),
        "idno": len(idno) == 18,
        "in_force": start <= accident < a_year_on(start),
        "remark": amount <= 5000000 or remark != "",
    }
    return row, verdicts


def verdict_text(verdict):
    return "error" if verdict is None else "true" if verdict else "false"


def main():
    rows = int(sys.argv[1]) if len(sys.argv) > 1 else 300
    rng = random.Random(25)
    claims = [claim(number, rng) for number in range(1, rows + 1)]
    with open(os.path.join(HERE, "claims.csv"), "w", encoding="gbk", newline="") as data:
        writer = csv.writer(data, lineterminator="\r\n")
        writer.writerow(CHINESE_HEADER)
        writer.writerow(ENGLISH_HEADER)
        writer.writerows(row for row, _ in claims)
    with open(os.path.join(HERE, "claims.expected.csv"), "w", encoding="utf-8", newline="") as expected:
        writer = csv.writer(expected, lineterminator="\n")
        writer.writerow(["理赔编号", "rule", "result"])
        for row, verdicts in claims:
            writer.writerows([row[0], rule, verdict_text(verdicts[rule])] for rule in RULES)


if __name__ == "__main__":
    main()
