#!/usr/bin/env python3
"""Writes the template sets (data/Template/<set>/), Hello.htm and AD.htm.

Every page is GBK with CR LF line ends, plain HTML and CSS (the forecast
browser runs no page script). Pictures of a set are referred to as
"[path]name"; the renderer replaces [path] with the set's folder. Decoration
is drawn with CSS backgrounds, so a set's preview (its ForeCastOnline.htm
shown as stored, [path] not replaced) shows no broken pictures.

Usage: gen_pages.py        (pictures come from gen_images.py)
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
DATA = os.path.join(ROOT, "data")


def write_gbk(path, text):
    lines = text.strip("\n").split("\n")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(("\r\n".join(line.rstrip() for line in lines) + "\r\n").encode("gbk"))


def page(style, body, title="[city]天气预报"):
    return f"""<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>{title}</title>
<style type="text/css">
<!--
{style.strip()}
-->
</style>
</head>
<body>
{body.strip()}
</body>
</html>
"""


def days(n, make, joiner="\n"):
    return joiner.join(make(k) for k in range(1, n + 1))


# ====================================================================== default
DEFAULT_STYLE = """
body { margin: 2px 3px; background: #f3f7fc; color: #1c2c48; font-size: 12px; font-family: 宋体, SimSun, serif; overflow-x: hidden; }
td { font-size: 12px; line-height: 16px; }
.head { background: #2f66b3 url("[path]head.gif") repeat-x; color: #ffffff; height: 22px; }
.sun { background: url("[path]sun.gif") no-repeat center; width: 20px; }
.city { font-size: 14px; font-weight: bold; }
.src { color: #dbe7f8; }
.card { background: #ffffff; border: 1px solid #94b4de; }
.day { background: #d8e6f7 url("[path]day.gif") repeat-x; color: #16427f; font-weight: bold; height: 18px; text-align: center; }
.days { border-collapse: separate; border-spacing: 3px 0; margin-top: 3px; }
.days .day { border: 1px solid #94b4de; }
.c { background: #ffffff; border-left: 1px solid #94b4de; border-right: 1px solid #94b4de; vertical-align: top; }
.last { border-bottom: 1px solid #94b4de; }
.zs { height: 38px; vertical-align: bottom; }
.lbl { color: #60759a; text-align: center; white-space: nowrap; }
.mid { text-align: center; }
.low { color: #0060ff; font-weight: bold; }
.high { color: #e0301e; font-weight: bold; }
.pic { text-align: center; height: 22px; }
.foot { color: #7d8ca6; text-align: center; }
"""


def default_head(what, source):
    return f"""<table class="head" width="100%" cellspacing="0" cellpadding="0" border="0">
<tr><td class="sun">&nbsp;</td><td><span class="city">[city]</span>&nbsp;{what}</td><td class="src" align="right">{source}&nbsp;</td></tr>
</table>"""


def default_cards(n, rows):
    """One card per day, side by side; rows are (cell class, content of day k)
    and run across all cards, so the cards line up and end level."""
    width = {3: "33%", 5: "20%"}[n]
    out = ['<table class="days" width="100%" cellspacing="0" cellpadding="2" border="0">']
    for i, (cls, content) in enumerate(rows):
        cls = "day" if i == 0 else cls + (" last" if i == len(rows) - 1 else "")
        size = f' width="{width}"' if i == 0 else ""
        out.append("<tr>" + "".join(f'<td class="{cls}"{size}>{content(k)}</td>' for k in range(1, n + 1)) + "</tr>")
    out.append("</table>")
    return "\n".join(out)


def temps(k=""):
    return f'<span class="low">[low{k}]</span>～<span class="high">[high{k}]</span>℃'


def labelled(label, value):
    return f'<span class="lbl">{label}</span>&nbsp;{value}'


DEFAULT_ONLINE_ROWS = [
    ("", lambda k: f"[date{k}]"),
    ("c", lambda k: labelled("上午", f"[am{k}]")),
    ("c", lambda k: labelled("下午", f"[pm{k}]")),
    ("c", lambda k: labelled("夜间", f"[night{k}]")),
    ("c", lambda k: labelled("气温", temps(k))),
]

DEFAULT_WIND_ROWS = [
    ("", lambda k: f"[date{k}]"),
    ("c", lambda k: labelled("上午", f"[am{k}]")),
    ("c", lambda k: labelled("下午", f"[pm{k}]")),
    ("c", lambda k: labelled("夜间", f"[night{k}]")),
]

DEFAULT_CC_ROWS = [
    ("", lambda k: f"[date{k}]"),
    ("c pic", lambda k: f"[ws{k}]"),
    ("c mid", lambda k: f"[wd{k}]"),
    ("c", lambda k: labelled("气温", temps(k))),
    ("c", lambda k: labelled("风力", f"[wf{k}]")),
]

DEFAULT_TREND_ROWS = [
    ("", lambda k: f"[date{k}]"),
    ("c pic", lambda k: f"[wsgif{k}]"),
    ("c mid", lambda k: f"[wsword{k}]"),
    ("c mid", lambda k: temps(k)),
    ("c mid", lambda k: f"[wf{k}]"),
    ("c mid zs", lambda k: f"[zs{k}]"),
]


DEFAULT_CN_BODY = default_head("24小时天气预报", "中国气象影视信息网") + """
<table width="100%" cellspacing="3" cellpadding="0" border="0">
<tr><td>
<table class="card" width="100%" cellspacing="0" cellpadding="2">
<tr><td class="day" colspan="3">[date]</td></tr>
<tr>
<td class="mid" width="128" rowspan="4">[wsgif]<br>[wsword]</td>
<td class="lbl" width="30">气温</td><td><span class="low">[low]</span>～<span class="high">[high]</span>℃</td>
</tr>
<tr><td class="lbl">风力</td><td>[wf]</td></tr>
<tr><td class="lbl">日出</td><td>[rc]分</td></tr>
<tr><td class="lbl">日落</td><td>[rl]分</td></tr>
<tr><td class="foot" colspan="3">测站位置：东经 [dj]°　北纬 [bw]°　海拔 [hb]</td></tr>
</table>
</td></tr>
</table>
<div class="foot">点“天气趋势”看未来五天</div>
"""


DEFAULT = {
    "ForeCastOnline.htm": page(DEFAULT_STYLE, default_head("三日天气预报", "天气在线") + "\n"
                               + default_cards(3, DEFAULT_ONLINE_ROWS)
                               + '\n<div class="foot">气温单位：摄氏度　点“风力预报”看三日风力</div>'
                               + '\n<div class="foot">[credit]</div>'),
    "WendOnline.htm": page(DEFAULT_STYLE, default_head("三日风力预报", "天气在线") + "\n"
                           + default_cards(3, DEFAULT_WIND_ROWS)
                           + '\n<div class="foot">[credit]</div>', title="[city]风力预报"),
    "ForeCastCC.htm": page(DEFAULT_STYLE, default_head("三日天气预报", "中央气象台") + "\n"
                           + default_cards(3, DEFAULT_CC_ROWS)
                           + '\n<div class="foot">[issue]</div>'),
    "ForeCastCN.htm": page(DEFAULT_STYLE, DEFAULT_CN_BODY),
    "WendCN.htm": page(DEFAULT_STYLE, default_head("五日天气趋势", "中国气象影视信息网") + "\n"
                       + default_cards(5, DEFAULT_TREND_ROWS)
                       + '\n<div class="foot">[credit]</div>', title="[city]天气趋势"),
    "author.ini": """[main]
author=Zelmora
date=2026-12-08
email=zelmora@example.org
http=https://example.org/zelmora
""",
}


# ====================================================================== classic
CLASSIC_STYLE = """
body { margin: 2px 3px; background: #fbf8ec url("[path]paper.gif"); color: #3a3220; font-size: 12px; font-family: 宋体, SimSun, serif; overflow-x: hidden; }
td { font-size: 12px; line-height: 16px; }
.title { background: #4f7f36 url("[path]title.gif") repeat-x; color: #ffffff; height: 24px; font-weight: bold; }
.city { font-size: 14px; letter-spacing: 1px; }
.src { color: #e4efd2; font-weight: normal; }
.grid { background: #b9a878; }
.cols { background: #efe6c4 url("[path]band.gif") repeat-x; color: #5c4a1c; text-align: center; height: 18px; }
.row { background: #fffdf4; }
.date { background: #f3ecd2; color: #45611f; font-weight: bold; text-align: center; white-space: nowrap; }
.mid { text-align: center; }
.low { color: #1f5fbf; font-weight: bold; }
.high { color: #b8321a; font-weight: bold; }
img { vertical-align: middle; }
.note { color: #8a7a52; text-align: right; }
.credit { font-size: 11px; line-height: 13px; }
"""


def classic_title(what, source):
    return f"""<table class="title" width="100%" cellspacing="0" cellpadding="0" border="0">
<tr><td>&nbsp;<span class="city">【[city]】</span>{what}</td><td class="src" align="right">{source}&nbsp;</td></tr>
</table>"""


def classic_grid(columns, n, row, widths=None, padding=2):
    heads = "".join(
        f'<td class="cols"{f" width={chr(34)}{widths[i]}{chr(34)}" if widths and widths[i] else ""}>{c}</td>'
        for i, c in enumerate(columns))
    return f"""<table class="grid" width="100%" cellspacing="1" cellpadding="{padding}" border="0">
<tr>{heads}</tr>
{days(n, row)}
</table>"""


CLASSIC_CN_BODY = classic_title("今明天气", "中国气象影视信息网") + """
<table class="grid" width="100%" cellspacing="1" cellpadding="3" border="0">
<tr><td class="cols" colspan="4">[date]</td></tr>
<tr class="row">
<td class="mid" rowspan="3" width="126">[wsgif]</td>
<td class="date" width="36">天气</td><td colspan="2">[wsword]</td>
</tr>
<tr class="row"><td class="date">气温</td><td colspan="2"><span class="low">[low]</span>℃ ～ <span class="high">[high]</span>℃</td></tr>
<tr class="row"><td class="date">风力</td><td colspan="2">[wf]</td></tr>
<tr class="row"><td class="date" colspan="2">日出 [rc]分</td><td class="date" colspan="2">日落 [rl]分</td></tr>
<tr class="row"><td class="mid" colspan="4">东经 [dj]°　北纬 [bw]°　海拔 [hb]</td></tr>
</table>
"""


CLASSIC = {
    "ForeCastOnline.htm": page(CLASSIC_STYLE, classic_title("三日天气", "天气在线") + "\n" + classic_grid(
        ["日期", "上午", "下午", "夜间", "气温(℃)"], 3,
        lambda k: f'<tr class="row"><td class="date">[date{k}]</td><td class="mid">[am{k}]</td>'
                  f'<td class="mid">[pm{k}]</td><td class="mid">[night{k}]</td>'
                  f'<td class="mid"><span class="low">[low{k}]</span>～<span class="high">[high{k}]</span></td></tr>',
        ["64", "", "", "", "58"]) + '\n<div class="note">上午、下午、夜间分别预报</div>'
        + '\n<div class="note">[credit]</div>'),
    "WendOnline.htm": page(CLASSIC_STYLE, classic_title("三日风力", "天气在线") + "\n" + classic_grid(
        ["日期", "上午", "下午", "夜间"], 3,
        lambda k: f'<tr class="row"><td class="date">[date{k}]</td><td class="mid">[am{k}]</td>'
                  f'<td class="mid">[pm{k}]</td><td class="mid">[night{k}]</td></tr>',
        ["64", "", "", ""]) + '\n<div class="note">[credit]</div>', title="[city]风力预报"),
    "ForeCastCC.htm": page(CLASSIC_STYLE, classic_title("三日天气", "中央气象台") + "\n" + classic_grid(
        ["日期", "天气", "气温(℃)", "风力"], 3,
        lambda k: f'<tr class="row"><td class="date">[date{k}]</td>'
                  f'<td class="mid">[ws{k}]<br>[wd{k}]</td>'
                  f'<td class="mid"><span class="low">[low{k}]</span>～<span class="high">[high{k}]</span></td>'
                  f'<td class="mid">[wf{k}]</td></tr>',
        ["64", "", "58", "92"]) + '\n<div class="note">[issue]</div>'),
    "ForeCastCN.htm": page(CLASSIC_STYLE, CLASSIC_CN_BODY),
    "WendCN.htm": page(CLASSIC_STYLE, classic_title("五日趋势", "中国气象影视信息网") + "\n" + classic_grid(
        ["日期", "天气", "气温(℃)", "风力", "风级"], 5,
        lambda k: f'<tr class="row"><td class="date">[date{k}]</td>'
                  f'<td>[wsgif{k}] [wsword{k}]</td>'
                  f'<td class="mid"><span class="low">[low{k}]</span>～<span class="high">[high{k}]</span></td>'
                  f'<td class="mid">[wf{k}]</td><td class="mid">[zs{k}]</td></tr>',
        ["56", "", "52", "", "42"], padding=1) + '\n<div class="note credit">[credit]</div>', title="[city]天气趋势"),
    "author.ini": """[main]
author=Zelmora 经典版
date=2026-12-08
email=zelmora@example.org
http=https://example.org/zelmora/classic
""",
}

SETS = {"default": DEFAULT, "classic": CLASSIC}


# ====================================================================== start pages
HELLO = page("""
body { margin: 0; background: #eaf1fa; color: #1c2c48; font-size: 12px; font-family: 宋体, SimSun, serif; overflow: hidden; }
td { font-size: 12px; line-height: 18px; }
.top { background: #2f66b3; border-bottom: 2px solid #1f4f96; color: #ffffff; height: 26px; font-size: 14px; font-weight: bold; }
.box { background: #ffffff; border: 1px solid #94b4de; }
.num { color: #ffffff; background: #3b72c0; font-weight: bold; text-align: center; width: 16px; }
.tip { color: #7d8ca6; }
""", """
<table class="top" width="100%" cellspacing="0" cellpadding="0" border="0">
<tr><td width="28" align="center"><img src="images/00.gif" width="20" height="19" alt=""></td><td>欢迎使用 Zelmora天气预报</td></tr>
</table>
<table width="100%" cellspacing="6" cellpadding="0" border="0"><tr><td>
<table class="box" width="100%" cellspacing="4" cellpadding="2" border="0">
<tr><td class="num">1</td><td>在右边选好省份，再点一个城市。</td></tr>
<tr><td class="num">2</td><td>点“天气预报”，或者双击城市名，就能看到这个城市的天气预报。</td></tr>
<tr><td class="num">3</td><td>点“服务器”可以在三个天气网站之间切换；常看的城市点“加入收藏”，下次启动时会提前读好。</td></tr>
</table>
</td></tr>
<tr><td class="tip">不能上网时，显示的是最近一次读到的天气预报。</td></tr>
</table>
""", title="欢迎")

AD = page("""
body { margin: 0; background: #2f66b3; color: #ffffff; font-size: 12px; font-family: 宋体, SimSun, serif; overflow: hidden; }
td { font-size: 12px; }
.name { font-size: 20px; font-weight: bold; letter-spacing: 2px; }
.items { color: #dbe7f8; }
.ver { color: #f7d774; }
""", """
<table width="100%" height="60" cellspacing="0" cellpadding="0" border="0">
<tr>
<td width="56" align="center"><img src="images/00.gif" width="40" height="38" alt=""></td>
<td class="name">Zelmora天气预报</td>
<td class="items" align="right">天气预报 · 万年历 · 手机号和IP查询 · 邮编区号<br><span class="ver">三个天气网站任选，不能上网也能看</span>&nbsp;</td>
<td width="10">&nbsp;</td>
</tr>
</table>
""", title="Zelmora天气预报")


def main():
    for name, files in SETS.items():
        for file, text in files.items():
            write_gbk(os.path.join(DATA, "Template", name, file), text)
    write_gbk(os.path.join(DATA, "Hello.htm"), HELLO)
    write_gbk(os.path.join(DATA, "AD.htm"), AD)
    print(f"{len(SETS)} template sets, Hello.htm, AD.htm")


if __name__ == "__main__":
    main()
