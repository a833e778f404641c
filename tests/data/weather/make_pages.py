#!/usr/bin/env python3
"""Writes the weather page fixtures of this folder (GBK, CR LF).

The pages are our own, built in the shapes the three sites' pages have:
what matters is on which line each marker sits. Run it from this folder
after changing a shape; the output is committed.
"""


def pad(lines, upto, filler="<!-- -->"):
    while len(lines) < upto:
        lines.append(filler)


def put(lines, n, text):
    pad(lines, n + 1)
    lines[n] = text


def write(name, lines):
    with open(name, "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("gbk"))


def cc_day_icons_words(lines, p, codes, words, wind):
    # icon lines from p on, then the "hei12-18" line two below the last
    for i, c in enumerate(codes):
        put(lines, p + i, f'  <img src="/nmc/images/{c}.gif" width="19" height="19">  ')
    last = p + len(codes) - 1 if codes else p
    w = last + 2
    put(lines, w, '<td class="hei12-18">')
    put(lines, w + 1, f"  {words}  ")
    put(lines, w + 6, f" {wind} ")
    return w


def cc_page(header=71, block_gap=17, total=300):
    lines = ["<html>", "<head><title>城市天气预报</title></head>"]
    pad(lines, header)
    put(lines, header, '<td class="title">北京天气预报&nbsp;2006-12-31 18:00发布</span></td>')
    p = header + block_gap
    put(lines, p, '<td class="tab">24小时预报</td>')
    put(lines, p + 4, "   12℃  ")
    put(lines, p + 9, " 3℃")
    p += 12
    p = cc_day_icons_words(lines, p + 1, ["01", "07"], "多云转小雨", "北风3-4级")
    put(lines, p + 16, "8℃")
    put(lines, p + 21, "-1℃")
    p = cc_day_icons_words(lines, p + 24, ["02"], "阴", "微风")
    put(lines, p + 16, "6℃")
    put(lines, p + 21, "-4℃")
    cc_day_icons_words(lines, p + 24 + 2, ["00", "01"], "晴转多云", "南风2级")
    pad(lines, total)
    return lines


STATION = ('<td align="center" valign="bottom" class="font_sl">日出：07时36分  日落：16时59分'
           '<br>东经：116.28度| 北纬：39.93度| 海拔：54.7米</td>')


def cn_page(heading=95, station=165, total=200):
    lines = ["<html>"]
    pad(lines, heading)
    put(lines, heading, '<td class="title"><strong>12月31日20时至1月1日20时</strong></td>')
    put(lines, heading + 4,
        '    <td colspan="2" align=center><img src="image/icons/d01.gif" width="60" height="60" alt="多云">'
        '<td width="60"><img src="image/icons/n02.gif" width="60" height="60" alt="阴"></td>  ')
    put(lines, heading + 8, '  <td colspan="2" class="eng">-3/5℃</td>')
    put(lines, heading + 11, '  <td height="20" colspan="2"><span class="font_sl"> 北风3-4级 </span></td>')
    put(lines, station, STATION)
    pad(lines, total)
    return lines


def cn_trend(first=84, step=20, total=260, force=("feng3.gif",) * 5):
    lines = ["<html>"]
    days = [("01", "05"), ("01", "06"), ("12", "10"), ("10", "07"), ("02", "28")]
    d = first
    for k, (m, dd) in enumerate(days):
        put(lines, d, f'<td width="113" class="font_sl"><strong>2007年{m}月{dd}日 星期{k + 1}</strong></td>')
        put(lines, d + 1, '<td><span class="font_sl">')
        put(lines, d + 2, f'   <img src="image/icons/d0{k}.gif" width="20" height="20" alt="多云">')
        put(lines, d + 3, f'   <img src="image/icons/n0{k}.gif" width="20" height="20" alt="阴">')
        put(lines, d + 4, "  </span>  ")
        put(lines, d + 7, f"<td><strong>{5 + k}℃</strong></td>")
        put(lines, d + 8, f"<td><strong>/-{k}℃</strong></td>")
        put(lines, d + 10, "<td><strong> 北风3-4级 </strong></td>")
        put(lines, d + 12, f'<td width="52" align="right"><img src="image/{force[k]}" ></td>')
        d += step
    pad(lines, total)
    return lines


def online_frame(kind):
    return ["<HTML>", "<HEAD>", "<TITLE>天气在线</TITLE>", "</head>", '<FRAMESET rows="*">',
            f'<FRAME src="/online/{kind}/54511.htm" scrolling="auto" name="inner">', "</FRAMESET>", "</HTML>"]


def online_forecast(first=45, lows=3, total=120):
    lines = ["<html>"]
    pad(lines, first)
    for i, d in enumerate(["12月31日", "1月1日", "1月2日"]):
        put(lines, first + i, f"<td><b>{d}</b></td>")
    low = first + 4
    put(lines, low, "<td>最低</td>")
    for i in range(lows):
        put(lines, low + 1 + i, f'<td><b><font color="#0060ff">-{i + 1}&deg;C</font></b></td>')
    high = low + 4 + max(0, lows - 3)
    put(lines, high, "<td>最高</td>")
    for i in range(3):
        put(lines, high + 1 + i, f'<td><font color="#ff0000">{i + 5}&deg;C</font></td>')
    am = high + 10
    put(lines, am, "<td>上午</td>")
    words = ["晴", "多云", "阴", "小雨", "中雨", "大雨", "雪", "雾", "霾"]
    n = am + 1
    for g, label in enumerate(["", "<td>下午</td>", "<td>夜间</td>"]):
        if label:
            put(lines, n, label)
            n += 1
        for i in range(3):
            w = words[g * 3 + i]
            put(lines, n, f'<td><IMG SRC="/img/{g}{i}.gif" ALT="{w}" TITLE="{w}"></td>')
            n += 1
    pad(lines, total)
    return lines


def online_wind(first=38, total=100):
    lines = ["<html>"]
    pad(lines, first)
    for i, d in enumerate(["12月31日", "1月1日", "1月2日"]):
        put(lines, first + i, f"<td><b>{d}</b></td>")
    am = first + 5
    put(lines, am, "<td>上午</td>")
    n = am + 1
    for g, label in enumerate(["", "<td>下午</td>", "<td>夜间</td>"]):
        if label:
            put(lines, n, label)
            n += 1
        for i in range(3):
            put(lines, n, f"<td><b>{['北', '东', '南'][g]}风{i + 2}级</b></td>")
            n += 1
    pad(lines, total)
    return lines


write("cc_forecast.htm", cc_page())
write("cc_forecast_late_header.htm", cc_page(header=240, block_gap=20, total=420))
write("cn_forecast.htm", cn_page())
write("cn_forecast_early.htm", cn_page(heading=90, station=160, total=176))
write("cn_trend.htm", cn_trend())
write("cn_trend_zhong.htm", cn_trend(first=110, step=22, force=("ZHONG.GIF", "zhong.gif", "feng1.gif", "feng2.gif",
                                                                  "feng3.gif")))
write("online_frame_forecast.htm", online_frame("fc"))
write("online_frame_wind.htm", online_frame("wind"))
write("online_forecast.htm", online_forecast())
write("online_forecast_four_lows.htm", online_forecast(first=58, lows=4))
write("online_wind.htm", online_wind())
